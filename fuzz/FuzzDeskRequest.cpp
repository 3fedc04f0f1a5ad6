// A web API request body of any bytes, read as each route reads it and, when it is taken,
// given to a real operator's desk: only ApiError may refuse it, the list never holds more
// than 101 items, a refused command leaves the list alone, and the state always turns into
// JSON; a week plan taken reads back from its file as it was taken. The first byte picks the
// route.
#include "ApiError.h"
#include "DeskJson.h"
#include "DeskRequest.h"
#include "JsonBody.h"
#include "OperatorDesk.h"
#include "PlanFile.h"
#include "PlanText.h"
#include "ShowFolder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

namespace {

std::filesystem::path workDir;

extern "C" void removeWorkDir() {
    std::error_code error;
    std::filesystem::remove_all(workDir, error);
}

lm::OperatorDesk& desk() {
    static const std::filesystem::path work = [] {
        std::string pattern = "/tmp/lmfuzz-desk-XXXXXX";
        workDir = ::mkdtemp(pattern.data());
        std::atexit(removeWorkDir);
        return workDir;
    }();
    static lm::OperatorDesk theDesk({work, {}, nullptr});
    static const bool opened = (theDesk.open(), true);
    (void)opened;
    return theDesk;
}

void check(bool holds) {
    if (!holds) {
        __builtin_trap();
    }
}

lm::DeskOutcome give(lm::OperatorDesk& desk, std::uint8_t route, const nlohmann::json& body) {
    const std::filesystem::path exchange = desk.exchange().folder();
    switch (route % 7) {
    case 0:
        return desk.add(lm::deskRequest::entry(body, exchange));
    case 1:
        return desk.change(0, lm::deskRequest::entry(body, exchange));
    case 2:
        desk.setSettings(lm::deskRequest::settings(body, desk.settings()));
        return desk.start();
    case 3: {
        lm::deskRequest::Urgent urgent = lm::deskRequest::urgent(body);
        return desk.say(std::move(urgent.message), urgent.minutes);
    }
    case 4: {
        lm::deskRequest::refuseOthers(body, {"name"});
        const std::string name = lm::jsonBody::requireString(body, "name");
        return desk.load(lm::ShowFolder(desk.exchange().workDir()).fileOf(name));
    }
    case 5:
        return desk.remove(lm::deskRequest::line(lm::jsonBody::requireString(body, "line")));
    default: {
        lm::deskRequest::refuseOthers(body, {"text"});
        const std::string text = lm::jsonBody::requireString(body, "text");
        const lm::DeskOutcome saved =
            desk.savePlan(lm::planText::from(text, desk.planPath(), desk.exchange().workDir()));
        // A plan taken reads back from its file as the desk holds it.
        check(!saved.done() || lm::planFile::read(desk.planPath()).plan == desk.state().plan);
        return saved;
    }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    const std::string_view body(reinterpret_cast<const char*>(data) + 1, size - 1);
    lm::OperatorDesk& theDesk = desk();
    const int before = theDesk.table().count();
    try {
        const nlohmann::json json = lm::jsonBody::parse(body, 1024 * 1024);
        const lm::DeskOutcome outcome = give(theDesk, data[0], json);
        check(outcome.done() || theDesk.table().count() == before);
        check(outcome.done() || !outcome.words().empty());
    } catch (const lm::ApiError&) {
        check(theDesk.table().count() == before);
    }
    check(theDesk.table().count() <= lm::ItemTable::rowCount);
    check(!lm::jsonBody::dump(lm::deskJson::state(theDesk)).empty());
    return 0;
}
