#pragma once
// The drawing snapshot: the names of the drawing's layers, linetypes, text styles and dimension
// styles, read once, late-bound, into the plug-in's drawing lists.
#include <windows.h>
#include <oaidl.h>

#include "Kinds.h"
#include "standards/NameList.h"
#include "standards/StandardLoad.h"

namespace audit {

// True when element 0 of the check filter can be read and is not loosely equal to Empty, the way
// automation compares: nothing, an empty string or a numeric zero equals Empty (the text "0" does
// not); a Null element does not compare equal. The filter is the loader's array of variants.
bool FilterNamesFirstType(const VARIANT& filter) noexcept;
// The same answer for the type names that the check filter is built from.
bool NamesFirstType(const standards::TypeNames& typeNames) noexcept;

// Reads each kind's collection from drawing in walk order and copies every entry's Name, in
// enumeration order, into the kind's list; the lists are rebuilt from empty. A collection that
// cannot be read or enumerated leaves its list empty; an entry whose Name cannot be read or turned
// into text takes an empty string; a failing enumerator keeps the names read before it failed.
void SnapshotDrawing(IDispatch& drawing, const PerKind<standards::NameList*>& lists) noexcept;

}  // namespace audit
