#pragma once
// The files a run writes (reports, standard files): never one of the run's own inputs, never a
// stranger's file without --force, never half written. Each is written to a temporary file in its
// own folder and moved into place at the end, so an error or Ctrl+C leaves any old file whole.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kvstcheck/DrawingWalk.h"
#include "kvstcheck/Files.h"

namespace kvstcheck {

// The inputs of a run, named as the user gave them. Their identities are looked up only when an
// output file already exists, the one case that needs them: a folder of thousands of drawings
// costs nothing otherwise.
class RunInputs {
public:
    // what: how a message names the input, such as "a drawing of this run".
    void Add(const std::wstring& path, const std::string& what);
    // The run's drawings, kept by reference (so a long list is not copied): they must outlive this.
    void AddDrawings(const std::vector<WalkEntry>& drawings) noexcept { drawings_ = &drawings; }
    // How the file with that identity is an input; empty when it is none.
    std::string Describe(const FileIdentity& identity) const;

private:
    struct Input {
        std::wstring path;
        std::string what;
    };
    std::vector<Input> inputs_;
    const std::vector<WalkEntry>* drawings_ = nullptr;
    // The drawings' identities, then the other inputs', once an output asked.
    mutable std::optional<std::vector<std::optional<FileIdentity>>> identities_;
};

// Whether the first bytes of an existing file show that kvstcheck wrote it; every format carries
// its own mark (a generator tag, a header row). A format without one is always a stranger's file.
using OutputMark = bool (*)(std::string_view head);

class OutputFile {
public:
    // path as the user gave it; what: how messages name it ("the HTML report").
    OutputFile(std::wstring path, std::string what, OutputMark mark);

    // Before any work: why the file must not be written, in plain words naming it; empty when it may.
    // Refused: an input of the run, a folder, a folder that does not exist, and an existing file
    // kvstcheck did not write unless force.
    // What it finds is what Write acts on: a file that was not there is never replaced.
    std::string Refusal(const RunInputs& inputs, bool force);

    // Writes the bytes beside the file and moves them into place; the error in plain words naming
    // the file, or empty. The file Refusal found is replaced; one that appeared since is not.
    std::string Write(std::string_view bytes) const;

    const std::wstring& path() const noexcept { return path_; }
    std::optional<FileIdentity> identity() const { return IdentityOf(path_); }

private:
    std::wstring path_;
    std::string what_;
    OutputMark mark_;
    bool replaces_ = false;  // the file existed when Refusal looked
};

// Marks of kvstcheck's own formats.
bool IsKvstcheckHtml(std::string_view head);
bool NeverOurs(std::string_view head);

}  // namespace kvstcheck
