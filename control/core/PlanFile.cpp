#include "PlanFile.h"

#include "LineFile.h"
#include "PlanCheck.h"
#include "PlanWords.h"
#include "ReplacingFile.h"
#include "TextRules.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <map>

namespace lm {

namespace {

using std::chrono::year_month_day;

constexpr std::array<std::string_view, 7> dayWords{"mon", "tue", "wed", "thu", "fri", "sat", "sun"};
constexpr int firstYear = 2000;
constexpr int lastYear = 2099;

std::string_view trim(std::string_view text) {
    const std::size_t from = text.find_first_not_of(" \t");
    if (from == std::string_view::npos) {
        return {};
    }
    return text.substr(from, text.find_last_not_of(" \t") - from + 1);
}

std::string quoted(std::string_view text) {
    return "「" + std::string(text) + "」";
}

template <class Number> std::optional<Number> numberIn(std::string_view text) {
    Number value{};
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
        return std::nullopt;
    }
    return value;
}

// Monday 0 ... Sunday 6, by its English abbreviation (any case) or its kanji.
std::optional<int> dayOf(std::string_view word) {
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
    for (int day = 0; day < 7; ++day) {
        if (lower == dayWords[static_cast<std::size_t>(day)] ||
            word == planWords::dayNames[static_cast<std::size_t>(day)]) {
            return day;
        }
    }
    return std::nullopt;
}

// "mon tue fri", "mon-fri", "sat,sun", "月火水", "月-金", "土、日".
std::optional<unsigned> parseDays(std::string_view text) {
    std::string spaced(text);
    for (std::size_t at = spaced.find("、"); at != std::string::npos; at = spaced.find("、")) {
        spaced.replace(at, std::string_view("、").size(), " ");
    }
    std::replace(spaced.begin(), spaced.end(), ',', ' ');
    unsigned days = 0;
    std::string_view rest = spaced;
    while (!(rest = trim(rest)).empty()) {
        const std::string_view token = rest.substr(0, rest.find_first_of(" \t"));
        rest.remove_prefix(token.size());
        if (const std::size_t dash = token.find('-'); dash != std::string_view::npos) {
            const std::optional<int> from = dayOf(token.substr(0, dash));
            const std::optional<int> to = dayOf(token.substr(dash + 1));
            if (!from || !to) {
                return std::nullopt;
            }
            for (int day = *from;; day = (day + 1) % 7) {
                days |= planDays::bit(day);
                if (day == *to) {
                    break;
                }
            }
        } else if (const std::optional<int> day = dayOf(token)) {
            days |= planDays::bit(*day);
        } else {
            // Kanji written together: "月火水".
            const std::size_t width = planWords::dayNames[0].size();
            if (token.size() % width != 0) {
                return std::nullopt;
            }
            for (std::size_t at = 0; at < token.size(); at += width) {
                const std::optional<int> kanji = dayOf(token.substr(at, width));
                if (!kanji) {
                    return std::nullopt;
                }
                days |= planDays::bit(*kanji);
            }
        }
    }
    return days != 0 ? std::optional<unsigned>(days) : std::nullopt;
}

// "9:05" or "09:05" in minutes of the day; "24:00" only as an end, where "00:00" means it too.
std::optional<int> parseClock(std::string_view text, bool end) {
    const std::size_t colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
        return std::nullopt;
    }
    const std::optional<int> hour = numberIn<int>(text.substr(0, colon));
    const std::optional<int> minute = numberIn<int>(text.substr(colon + 1));
    if (!hour || !minute || *hour < 0 || *minute < 0 || *minute > 59) {
        return std::nullopt;
    }
    const int minutes = *hour * 60 + *minute;
    if (end) {
        return minutes == 0
                   ? minutesPerDay
                   : (minutes <= minutesPerDay ? std::optional<int>(minutes) : std::nullopt);
    }
    return minutes < minutesPerDay ? std::optional<int>(minutes) : std::nullopt;
}

std::optional<PlanHours> parseHours(std::string_view text) {
    const std::size_t dash = text.find('-');
    if (dash == std::string_view::npos) {
        return std::nullopt;
    }
    const std::optional<int> from = parseClock(trim(text.substr(0, dash)), false);
    const std::optional<int> to = parseClock(trim(text.substr(dash + 1)), true);
    if (!from || !to) {
        return std::nullopt;
    }
    return PlanHours{*from, *to};
}

// "2025-12-24".
std::optional<year_month_day> parseDate(std::string_view text) {
    if (text.size() != 10 || text[4] != '-' || text[7] != '-') {
        return std::nullopt;
    }
    const std::optional<int> year = numberIn<int>(text.substr(0, 4));
    const std::optional<unsigned> month = numberIn<unsigned>(text.substr(5, 2));
    const std::optional<unsigned> day = numberIn<unsigned>(text.substr(8, 2));
    if (!year || !month || !day) {
        return std::nullopt;
    }
    const year_month_day date{std::chrono::year(*year), std::chrono::month(*month),
                              std::chrono::day(*day)};
    return date.ok() ? std::optional<year_month_day>(date) : std::nullopt;
}

std::string dateText(year_month_day date) {
    char text[16];
    std::snprintf(text, sizeof text, "%04d-%02u-%02u", static_cast<int>(date.year()) % 10000,
                  static_cast<unsigned>(date.month()), static_cast<unsigned>(date.day()));
    return text;
}

enum class Kind { Weekly, Dated, Otherwise };

constexpr std::array<std::string_view, 3> sectionNames{"[weekly]", "[dated]", "[otherwise]"};

// The keys of a section and the line each was written on.
struct Section {
    Kind kind = Kind::Otherwise;
    int line = 0;
    std::map<std::string, int, std::less<>> keys;
    unsigned days = 0;
    year_month_day first{};
    year_month_day last{};
    PlanHours hours;
    PlanRun run;
};

constexpr std::array<std::string_view, 4> settingKeys{"movement", "speed", "displays", "repeat"};

class Parser {
public:
    PlanRead parse(std::string_view bytes) {
        int number = 0;
        std::size_t start = 0;
        if (bytes.starts_with("\xEF\xBB\xBF")) {
            start = 3; // a byte order mark from an editor
        }
        while (start < bytes.size()) {
            std::size_t end = bytes.find('\n', start);
            if (end == std::string_view::npos) {
                end = bytes.size();
            }
            std::string_view text = bytes.substr(start, end - start);
            if (text.ends_with('\r')) {
                text.remove_suffix(1);
            }
            if (!line(++number, text)) {
                return m_result;
            }
            start = end + 1;
        }
        if (!m_headerSeen) {
            refuse(0, "週の予定のファイルではありません（「lmsign-plan 1」の行がありません）。");
            return m_result;
        }
        if (!finish()) {
            return m_result;
        }
        if (const std::optional<PlanOverlap> overlap = planCheck::firstOverlap(m_plan)) {
            const std::vector<int>& lines = overlap->dated ? m_datedLines : m_weeklyLines;
            refuse(lines.at(static_cast<std::size_t>(overlap->second)),
                   std::to_string(lines.at(static_cast<std::size_t>(overlap->first))) +
                       " 行目の予定と重なっています。" + planCheck::words(m_plan, *overlap));
            return m_result;
        }
        m_result.plan = std::move(m_plan);
        return m_result;
    }

private:
    bool refuse(int line, std::string reason) {
        m_result.line = line;
        m_result.reason = std::move(reason);
        return false;
    }

    bool line(int number, std::string_view raw) {
        if (toUtf8(toUtf32(raw)) != raw) {
            return refuse(number, "UTF-8 として読めない文字があります。");
        }
        const std::string_view text = trim(raw);
        if (text.empty() || text.starts_with('#')) {
            return true;
        }
        if (!m_headerSeen) {
            return header(number, text);
        }
        if (text.starts_with('[')) {
            return finish() && open(number, text);
        }
        if (!m_section) {
            return refuse(number, "予定の見出し（[weekly]、[dated]、[otherwise]）より前に書かれてい"
                                  "ます。");
        }
        if (text == "blank") {
            return note(number, "blank");
        }
        const std::size_t equals = text.find('=');
        if (equals == std::string_view::npos || trim(text.substr(0, equals)).empty()) {
            return refuse(number, quoted(text) + "は「項目 = 値」の形ではありません。");
        }
        return value(number, trim(text.substr(0, equals)), trim(text.substr(equals + 1)));
    }

    bool header(int number, std::string_view text) {
        const std::optional<int> fileVersion =
            text.starts_with(planFile::header) && text.size() > planFile::header.size() &&
                    (text[planFile::header.size()] == ' ' || text[planFile::header.size()] == '\t')
                ? numberIn<int>(trim(text.substr(planFile::header.size())))
                : std::nullopt;
        if (!fileVersion) {
            return refuse(number, "週の予定のファイルではありません（初めの行は「lmsign-plan 1」"
                                  "です）。");
        }
        if (*fileVersion > planFile::version) {
            return refuse(number,
                          "新しい版の LMControl で書かれた予定です（" + std::string(text) + "）。");
        }
        m_headerSeen = true;
        return true;
    }

    bool open(int number, std::string_view text) {
        const auto name = std::find(sectionNames.begin(), sectionNames.end(), text);
        if (name == sectionNames.end()) {
            return refuse(number, quoted(text) + "は予定の見出しではありません（[weekly]、[dated]、"
                                                 "[otherwise] のどれかです）。");
        }
        const auto kind = static_cast<Kind>(name - sectionNames.begin());
        if (kind == Kind::Otherwise && m_otherwiseSeen) {
            return refuse(number, "[otherwise] は一つだけです。");
        }
        m_section.emplace();
        m_section->kind = kind;
        m_section->line = number;
        // A show unless the section says "blank".
        m_section->run.blank = false;
        return true;
    }

    // Notes that the key was written on this line; a key written twice is refused.
    bool note(int number, std::string_view key) {
        if (!m_section->keys.emplace(std::string(key), number).second) {
            return refuse(number, quoted(key) + "が二度書かれています。");
        }
        return true;
    }

    bool value(int number, std::string_view key, std::string_view text) {
        static constexpr std::array<std::string_view, 8> keys{
            "days", "dates", "time", "show", "movement", "speed", "displays", "repeat"};
        if (std::find(keys.begin(), keys.end(), key) == keys.end()) {
            return refuse(number, quoted(key) + "という項目はありません。");
        }
        const Kind kind = m_section->kind;
        if ((key == "days" && kind != Kind::Weekly) || (key == "dates" && kind != Kind::Dated) ||
            (key == "time" && kind == Kind::Otherwise)) {
            return refuse(number, quoted(key) + "は " +
                                      std::string(sectionNames[static_cast<std::size_t>(kind)]) +
                                      " には書けません。");
        }
        if (!note(number, key)) {
            return false;
        }
        Section& section = *m_section;
        if (key == "days") {
            const std::optional<unsigned> days = parseDays(text);
            if (!days) {
                return refuse(number, "曜日" + quoted(text) +
                                          "が読めません（mon〜sun か 月〜日。mon-fri のような範囲"
                                          "も書けます）。");
            }
            section.days = *days;
        } else if (key == "dates") {
            return dates(number, text);
        } else if (key == "time") {
            const std::optional<PlanHours> hours = parseHours(text);
            if (!hours) {
                return refuse(number, "時刻" + quoted(text) +
                                          "が読めません（例：09:00-17:00、22:00-02:00）。");
            }
            if (hours->from == hours->to) {
                return refuse(number, "始まりと終わりが同じ時刻です（終日なら 00:00-24:00）。");
            }
            section.hours = *hours;
        } else {
            return runValue(number, key, text);
        }
        return true;
    }

    // What an entry runs: its show file and the settings it runs with.
    bool runValue(int number, std::string_view key, std::string_view text) {
        PlanRun& run = m_section->run;
        if (key == "show") {
            if (text.empty()) {
                return refuse(number, "ショーのファイル名がありません。");
            }
            run.showFile = text;
        } else if (key == "movement") {
            if (std::find(vocabulary::movementWords.begin(), vocabulary::movementWords.end(),
                          text) == vocabulary::movementWords.end()) {
                return refuse(number, "移動" + quoted(text) + "は使えません（移動しない、左へ）。");
            }
            run.movement = text;
        } else if (key == "speed") {
            if (!vocabulary::speedPosition(text)) {
                return refuse(number, "速さ" + quoted(text) +
                                          "は使えません（速く、やや速く、中、やや遅く、遅く）。");
            }
            run.speed = text;
        } else if (key == "displays") {
            const std::optional<int> count = numberIn<int>(text);
            if (!count || *count < 1 || *count > vocabulary::maxDisplays) {
                return refuse(number, "表示の数" + quoted(text) + "は 1 から 16 までの数です。");
            }
            run.displayCount = std::to_string(*count);
        } else if (key == "repeat") {
            if (text != "yes" && text != "no") {
                return refuse(number, "repeat は yes か no です。");
            }
            run.repeat = text == "yes";
        }
        return true;
    }

    bool dates(int number, std::string_view text) {
        const std::size_t dots = text.find("..");
        const std::optional<year_month_day> first = parseDate(trim(text.substr(0, dots)));
        const std::optional<year_month_day> last =
            dots == std::string_view::npos ? first : parseDate(trim(text.substr(dots + 2)));
        if (!first || !last) {
            return refuse(number, "日付" + quoted(text) +
                                      "が読めません（例：2025-12-24、2025-12-24..2025-12-26）。");
        }
        for (const year_month_day date : {*first, *last}) {
            if (date.year() < std::chrono::year(firstYear) ||
                date.year() > std::chrono::year(lastYear)) {
                return refuse(number, "日付は 2000 年から 2099 年までです。");
            }
        }
        if (*last < *first) {
            return refuse(number, "終わりの日付が始まりの日付より前です。");
        }
        m_section->first = *first;
        m_section->last = *last;
        return true;
    }

    // Closes the section read so far, if any, into the plan.
    bool finish() {
        if (!m_section) {
            return true;
        }
        Section section = std::move(*m_section);
        m_section.reset();
        const auto keyLine = [&](std::string_view key) {
            const auto found = section.keys.find(key);
            return found == section.keys.end() ? 0 : found->second;
        };
        if (section.kind == Kind::Weekly && keyLine("days") == 0) {
            return refuse(section.line, "曜日（days）がありません。");
        }
        if (section.kind == Kind::Dated && keyLine("dates") == 0) {
            return refuse(section.line, "日付（dates）がありません。");
        }
        const int show = keyLine("show");
        const int blank = keyLine("blank");
        if (show != 0 && blank != 0) {
            return refuse(std::max(show, blank), "show と blank は一緒に書けません。");
        }
        if (show == 0 && blank == 0) {
            return refuse(
                section.line,
                "表示するショー（show = ファイル名）か、表示なし（blank）を書いてください。");
        }
        if (blank != 0) {
            for (const std::string_view key : settingKeys) {
                if (const int at = keyLine(key); at != 0) {
                    return refuse(at, quoted(key) + "は blank の予定には書けません。");
                }
            }
            section.run = PlanRun{};
        }
        switch (section.kind) {
        case Kind::Weekly:
            m_plan.weekly.push_back({section.days, section.hours, section.run});
            m_weeklyLines.push_back(section.line);
            break;
        case Kind::Dated:
            m_plan.dated.push_back({section.first, section.last, section.hours, section.run});
            m_datedLines.push_back(section.line);
            break;
        case Kind::Otherwise:
            m_plan.otherwise = section.run;
            m_otherwiseSeen = true;
            break;
        }
        return true;
    }

    PlanRead m_result;
    WeekPlan m_plan;
    std::optional<Section> m_section;
    std::vector<int> m_weeklyLines;
    std::vector<int> m_datedLines;
    bool m_headerSeen = false;
    bool m_otherwiseSeen = false;
};

std::string runLines(const PlanRun& run) {
    if (run.blank) {
        return "blank\n";
    }
    return "show = " + run.showFile + "\nmovement = " + run.movement + "\nspeed = " + run.speed +
           "\ndisplays = " + run.displayCount + "\nrepeat = " + (run.repeat ? "yes" : "no") + "\n";
}

std::string hoursLine(const PlanHours& hours) {
    return "time = " + planWords::clock(hours.from) + "-" + planWords::clock(hours.to) + "\n";
}

// A blank run carries no settings: they could not be read back.
WeekPlan normalized(WeekPlan plan) {
    const auto clear = [](PlanRun& run) {
        if (run.blank) {
            run = PlanRun{};
        }
    };
    clear(plan.otherwise);
    for (WeeklyEntry& entry : plan.weekly) {
        clear(entry.run);
    }
    for (DatedEntry& entry : plan.dated) {
        clear(entry.run);
    }
    return plan;
}

} // namespace

std::string PlanRead::words(const std::filesystem::path& path) const {
    const std::string name = "週の予定「" + path.string() + "」";
    return line > 0 ? name + "の " + std::to_string(line) + " 行目：" + reason
                    : name + "：" + reason;
}

namespace planFile {

PlanRead parse(std::string_view bytes) {
    return Parser().parse(bytes);
}

PlanRead read(const std::filesystem::path& path) {
    const std::optional<std::string> bytes = lineFile::readBytes(path);
    if (!bytes) {
        PlanRead refused;
        refused.reason = "ファイルを読めません。";
        return refused;
    }
    return parse(*bytes);
}

std::string encode(const WeekPlan& plan) {
    std::string text = "# LMControl の週の予定。書き方は docs/plan.md にあります。\n";
    text += std::string(header) + " " + std::to_string(version) + "\n\n[otherwise]\n";
    text += runLines(plan.otherwise);
    for (const WeeklyEntry& entry : plan.weekly) {
        text += "\n[weekly]\ndays =";
        for (int day = 0; day < 7; ++day) {
            if ((entry.days & planDays::bit(day)) != 0) {
                text += " " + std::string(dayWords[static_cast<std::size_t>(day)]);
            }
        }
        text += "\n" + hoursLine(entry.hours) + runLines(entry.run);
    }
    for (const DatedEntry& entry : plan.dated) {
        text += "\n[dated]\ndates = " + dateText(entry.first);
        if (entry.last != entry.first) {
            text += ".." + dateText(entry.last);
        }
        text += "\n" + hoursLine(entry.hours) + runLines(entry.run);
    }
    return text;
}

std::string write(const std::filesystem::path& path, const WeekPlan& plan) {
    if (const std::optional<PlanOverlap> overlap = planCheck::firstOverlap(plan)) {
        return planCheck::words(plan, *overlap);
    }
    const WeekPlan normal = normalized(plan);
    const std::string bytes = encode(normal);
    const PlanRead back = parse(bytes);
    if (!back.plan) {
        return "週の予定に書けない値があります：" + back.reason;
    }
    if (*back.plan != normal) {
        return "週の予定に書けない値があります（ファイル名の前後の空白など）。";
    }
    ReplacingFile file(path);
    if (!file.write(bytes) || !file.commit()) {
        return "週の予定「" + path.string() + "」を書き込めません。";
    }
    return {};
}

std::filesystem::path showPath(const std::filesystem::path& planPath, const PlanRun& run) {
    const std::filesystem::path show(run.showFile);
    return show.is_absolute() ? show : planPath.parent_path() / show;
}

} // namespace planFile
} // namespace lm
