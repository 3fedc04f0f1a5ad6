#pragma once

#include "Answer.h"
#include "Instant.h"
#include "JobLines.h"
#include "LineFile.h"
#include "SignOfLife.h"

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lm {

enum class AnswerKind { Next, End };

// The wildcard sets the control program deletes: the three of the job and answer files, and
// the two of the instants that travel beside them (Instant.h).
enum class ExchangeSet { EndAnswers, NextAnswers, Jobs, NextInstants, StartInstants };

// One of the three exchange files of a display, as its name tells it.
struct ExchangeFile {
    enum class Kind { Job, NextAnswer, EndAnswer };
    Kind kind = Kind::Job;
    int display = 0;
    bool operator==(const ExchangeFile&) const = default;
};

struct JobHead {
    enum class Status {
        Ok,
        Missing,   // no such file (or no Exchange folder)
        Unreadable // locked, empty or unreadable: try again at the next poll
    };
    Status status = Status::Missing;
    std::string line;
};

// The Exchange folder "data" under a working folder, and every file that passes through it:
// job files LMData<n>.ini, next answers LMPNext<n>.ans, end answers LMPEnd<n>.ans, and the
// presence files LMAlive<n>.dat. Each file is written whole in one open-write-close and found
// by polling.
class ExchangeFolder {
public:
    explicit ExchangeFolder(std::filesystem::path workDir);

    const std::filesystem::path& workDir() const { return m_workDir; }
    std::filesystem::path folder() const;
    std::filesystem::path jobPath(int display) const;
    std::filesystem::path answerPath(AnswerKind kind, int display) const;
    // Which exchange file a bare file name is, exactly as the paths above spell it; nothing
    // for any other name (pictures, "LMData07.ini", a writer's temporary file).
    static std::optional<ExchangeFile> fileOf(std::string_view name);
    // A running display touches its presence file; none of the three sets matches it, so a
    // program that knows nothing of it leaves it alone.
    std::filesystem::path presencePath(int display) const;

    // Failures are ignored: an existing folder, a read-only parent. A new folder is never
    // writable by everybody, whatever the umask.
    void make() const;
    // Deletes every file of the set; no match and any failure are ignored.
    void deleteSet(ExchangeSet set) const;

    // Refuses values with line breaks or characters code page 932 cannot hold.
    WriteStatus writeJob(int display, const JobLines& lines) const;
    JobHead readJobHead(int display) const;
    // The ten lines of the job file, or nothing when it cannot be read or its tenth line has
    // not ended yet (caught while it is written).
    std::optional<std::vector<std::string>> readJob(int display) const;

    // The job's first line as read, a comma and the answer word. False on failure.
    bool writeAnswer(int display, AnswerKind kind, const std::string& jobHead) const;
    // Both fields empty when the file is missing, unreadable or empty, or when its line has not
    // ended yet (caught while it is written).
    Answer readAnswer(AnswerKind kind, int display) const;

    // LMNextAt<n>.dat, the instant of display n's last next answer, and LMStartAt<n>.dat, the
    // instant at which display n's job starts (Instant.h).
    std::filesystem::path nextInstantPath(int display) const;
    std::filesystem::path startInstantPath(int display) const;
    // Nothing while the file is missing, cut or foreign.
    std::optional<Instant> readInstant(const std::filesystem::path& path) const;
    // False on failure; never through a link in the file's place.
    bool writeInstant(const std::filesystem::path& path, const Instant& instant) const;

    // True for a name that nothing but the programs themselves may ever write into the folder:
    // the job files and answers of every wildcard set, the instants LMNextAt*.dat and
    // LMStartAt*.dat, the presence files LMAlive*.dat and LMControl.dat, and the programs'
    // temporary files. Letter case and trailing dots and blanks
    // do not count, since a share served by Windows ignores them.
    static bool isReservedName(std::string_view name);

    // Touches the presence file, or creates it when it is gone. False on failure.
    bool touchPresence(int display) const;
    // The presence file's modification time, or nothing when it is missing or cannot be looked
    // at. Only a change of it means anything: the clocks of the computers may differ.
    std::optional<std::filesystem::file_time_type> presenceStamp(int display) const;
    // Deletes the presence files of the displays 1 to 16; every failure is ignored.
    void deletePresence() const;
    // What display `display` says of itself in its presence file; nothing while the file is
    // empty (an older display), cut or missing.
    std::optional<SignOfLife> presenceLife(int display) const;
    // Writes the presence file anew with what the display says of itself. False on failure.
    bool writePresence(int display, const SignOfLife& life) const;

    // The control program's own presence file, LMControl.dat: one control program runs per
    // Exchange folder, and this is how another computer's tells that one already does.
    std::filesystem::path controlPath() const;
    std::optional<SignOfLife> controlLife() const;
    bool writeControlLife(const SignOfLife& life) const;

private:
    std::filesystem::path m_workDir;
};

} // namespace lm
