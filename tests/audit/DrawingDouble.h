#pragma once
// A drawing object that records every call the plug-in makes into it and fails where told.
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "drawing/Drawing.h"

namespace audittest {

using CallLog = std::vector<std::wstring>;

// What goes wrong with one of the drawing's collections.
struct TableFaults {
    bool missingMember = false;      // the drawing does not know the member's name
    bool notAnObject = false;        // the member's value is a number
    bool notEnumerable = false;      // the collection has no _NewEnum
    int enumeratorFailsAfter = -1;   // Next fails once this many entries were handed out
    std::set<std::size_t> nameFails = {};     // entries whose Name read fails
    std::set<std::size_t> nameIsNumber = {};  // entries whose Name is the number 7
};

class RecordingEntry : public drawing::NamedEntry {
public:
    RecordingEntry(drawing::SharedNames names, std::size_t index, std::wstring tag, const TableFaults& faults,
                   std::shared_ptr<CallLog> log)
        : NamedEntry(std::move(names), index),
          tag_(std::move(tag) + L"[" + std::to_wstring(index) + L"]"),
          fails_(faults.nameFails.contains(index)),
          number_(faults.nameIsNumber.contains(index)),
          log_(std::move(log)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        log_->push_back(tag_ + L".Name");
        if (fails_) return E_FAIL;
        if (number_ && result) {
            ::VariantInit(result);
            result->vt = VT_I4;
            result->lVal = 7;
            return S_OK;
        }
        return NamedEntry::Invoke(id, iid, lcid, flags, params, result, info, argError);
    }

private:
    std::wstring tag_;
    bool fails_;
    bool number_;
    std::shared_ptr<CallLog> log_;
};

class RecordingEnumerator : public drawing::EntryEnumerator {
public:
    RecordingEnumerator(kv::ComPtr<drawing::EntryCollection> collection, std::wstring tag, int failsAfter,
                        std::shared_ptr<CallLog> log)
        : EntryEnumerator(std::move(collection)), tag_(std::move(tag)), failsAfter_(failsAfter), log_(std::move(log)) {}

    HRESULT STDMETHODCALLTYPE Next(ULONG count, VARIANT* items, ULONG* fetched) override {
        if (failsAfter_ >= 0 && position_ + count > static_cast<std::size_t>(failsAfter_)) {
            log_->push_back(tag_ + L".fail");
            if (fetched) *fetched = 0;
            return E_UNEXPECTED;
        }
        const HRESULT hr = EntryEnumerator::Next(count, items, fetched);
        if (hr == S_FALSE) log_->push_back(tag_ + L".end");
        return hr;
    }

private:
    std::wstring tag_;
    int failsAfter_;
    std::shared_ptr<CallLog> log_;
};

class RecordingCollection : public drawing::EntryCollection {
public:
    RecordingCollection(drawing::SharedNames names, std::wstring tag, TableFaults faults, std::shared_ptr<CallLog> log)
        : EntryCollection(std::move(names)), tag_(std::move(tag)), faults_(std::move(faults)), log_(std::move(log)) {}

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        if (id == DISPID_NEWENUM) {
            log_->push_back(tag_ + L"._NewEnum");
            if (faults_.notEnumerable) return DISP_E_MEMBERNOTFOUND;
        }
        return EntryCollection::Invoke(id, iid, lcid, flags, params, result, info, argError);
    }

    HRESULT MakeEntry(std::size_t index, IDispatch** entry) override {
        return kv::Barrier([&] {
            *entry = kv::MakeObject<RecordingEntry>(names_, index, tag_, faults_, log_).Detach();
            return S_OK;
        });
    }

protected:
    HRESULT MakeEnumerator(IUnknown** enumerator) override {
        return kv::Barrier([&] {
            *enumerator = kv::MakeObject<RecordingEnumerator>(kv::ComPtr<drawing::EntryCollection>(this), tag_,
                                                              faults_.enumeratorFailsAfter, log_)
                              .Detach();
            return S_OK;
        });
    }

private:
    std::wstring tag_;
    TableFaults faults_;
    std::shared_ptr<CallLog> log_;
};

class RecordingDrawing : public drawing::Drawing {
public:
    // Faults in the drawing's table order: layers, linetypes, text styles, dimension styles.
    RecordingDrawing(drawing::DrawingNames names, std::vector<TableFaults> faults = {})
        : Drawing(std::move(names)), log(std::make_shared<CallLog>()), faults_(std::move(faults)) {
        faults_.resize(drawing::kTableCount);
    }

    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID lcid, DISPID* ids) override {
        for (std::size_t table = 0; table < drawing::kTableCount; ++table) {
            if (count > 0 && faults_[table].missingMember && std::wstring(names[0]) == kMembers[table]) {
                log->push_back(std::wstring(L"?") + names[0]);
                ids[0] = DISPID_UNKNOWN;
                return DISP_E_UNKNOWNNAME;
            }
        }
        return Drawing::GetIDsOfNames(iid, names, count, lcid, ids);
    }

    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID iid, LCID lcid, WORD flags, DISPPARAMS* params,
                                     VARIANT* result, EXCEPINFO* info, UINT* argError) override {
        if (id >= 1 && id <= static_cast<DISPID>(drawing::kTableCount)) {
            log->push_back(kMembers[id - 1]);
            if (faults_[id - 1].notAnObject && result) {
                ::VariantInit(result);
                result->vt = VT_I4;
                result->lVal = 3;
                return S_OK;
            }
        }
        return Drawing::Invoke(id, iid, lcid, flags, params, result, info, argError);
    }

    std::shared_ptr<CallLog> log;

protected:
    HRESULT MakeCollection(drawing::Table table, IDispatch** collection) override {
        const auto index = static_cast<std::size_t>(table);
        return kv::Barrier([&] {
            *collection =
                kv::MakeObject<RecordingCollection>(NamesOf(table), kMembers[index], faults_[index], log).Detach();
            return S_OK;
        });
    }

private:
    static constexpr const wchar_t* kMembers[] = {L"Layers", L"Linetypes", L"TextStyles", L"DimStyles"};
    std::vector<TableFaults> faults_;
};

}  // namespace audittest
