#include "DeskRoutes.h"

#include "ApiError.h"
#include "DeskJson.h"
#include "DeskRequest.h"
#include "JsonBody.h"
#include "OperatorDesk.h"
#include "PlanText.h"
#include "ShowFile.h"
#include "ShowFolder.h"
#include "WebSettingsStore.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace lm {

namespace {

ApiErrorKind kindOf(DeskOutcome::Code code) {
    switch (code) {
    case DeskOutcome::Code::Busy:
        return ApiErrorKind::Busy;
    case DeskOutcome::Code::BadValue:
    case DeskOutcome::Code::NoName:
        return ApiErrorKind::BadValue;
    default:
        return ApiErrorKind::Refused;
    }
}

bool isPictureName(const std::string& name) {
    const std::size_t dot = name.rfind('.');
    if (dot == std::string::npos) {
        return false;
    }
    std::string extension = name.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return extension == "jpg" || extension == "jpeg" || extension == "bmp" || extension == "gif";
}

} // namespace

DeskRoutes::DeskRoutes(OperatorDesk& desk, std::shared_ptr<WebSettingsStore> settings,
                       const PictureProbe& inspector)
    : m_desk(desk), m_settings(std::move(settings)), m_exchange(desk.exchange().workDir()),
      m_upload(m_exchange, inspector) {}

void DeskRoutes::refuseClosed() const {
    if (m_desk.isClosed()) {
        throw ApiError(ApiErrorKind::Unavailable, "the control program is ending");
    }
}

ApiReply DeskRoutes::replyOf(const DeskOutcome& outcome) {
    if (!outcome.done()) {
        throw ApiError(kindOf(outcome.code), outcome.words());
    }
    return ApiReply::ofJson({{"messages", deskJson::messages(outcome.messages)}});
}

WebRoute DeskRoutes::command(HttpMethod method, std::string pattern,
                             DeskOutcome (OperatorDesk::*call)()) {
    return {method, std::move(pattern), RequestBody::None, Access::LoggedIn,
            [this, call](const ApiRequest& request) {
                return replyOf(atDesk(request, [this, call] { return (m_desk.*call)(); }));
            }};
}

WebRoutes DeskRoutes::routes() {
    using M = HttpMethod;
    const auto read = [this](auto shown) {
        return [this, shown](const ApiRequest& request) {
            return ApiReply::ofJson(atDesk(request, [this, &shown] { return shown(m_desk); }));
        };
    };
    const auto bound = [this](auto member) {
        return [this, member](const ApiRequest& request) {
            return (this->*member)(request);
        };
    };
    constexpr auto json = RequestBody::Json;
    constexpr auto none = RequestBody::None;
    constexpr auto in = Access::LoggedIn;
    return {
        {M::Get, "/api/state", none, in,
         read([](const OperatorDesk& d) { return deskJson::state(d); })},
        {M::Get, "/api/list", none, in,
         read([](const OperatorDesk& d) { return deskJson::list(d); })},
        {M::Post, "/api/list", json, in, bound(&DeskRoutes::addItem)},
        command(M::Delete, "/api/list", &OperatorDesk::clear),
        {M::Put, R"(/api/list/([^/]+))", json, in, bound(&DeskRoutes::changeItem)},
        {M::Delete, R"(/api/list/([^/]+))", none, in,
         [this](const ApiRequest& request) {
             const int line = deskRequest::line(request.pathParts.at(0));
             return replyOf(atDesk(request, [this, line] { return m_desk.remove(line); }));
         }},
        {M::Get, "/api/show/settings", none, in,
         read([](const OperatorDesk& d) { return deskJson::settings(d.settings()); })},
        {M::Put, "/api/show/settings", json, in, bound(&DeskRoutes::setSettings)},
        command(M::Post, "/api/show/start", &OperatorDesk::start),
        command(M::Post, "/api/show/stop", &OperatorDesk::stop),
        {M::Post, "/api/displays/end", json, in, bound(&DeskRoutes::endDisplays)},
        {M::Post, "/api/urgent", json, in, bound(&DeskRoutes::say)},
        command(M::Delete, "/api/urgent", &OperatorDesk::endUrgent),
        {M::Get, "/api/pictures", none, in,
         [this](const ApiRequest& request) {
             return pictures(request);
         }},
        {M::Put, R"(/api/pictures/([^/]+))", RequestBody::Picture, in, bound(&DeskRoutes::upload)},
        {M::Get, "/api/shows", none, in,
         [this](const ApiRequest& request) {
             return shows(request);
         }},
        {M::Post, "/api/shows/load", json, in, bound(&DeskRoutes::loadShow)},
        {M::Post, "/api/shows/save", json, in, bound(&DeskRoutes::saveShow)},
        {M::Get, "/api/plan", none, in, bound(&DeskRoutes::plan)},
        {M::Put, "/api/plan", json, in, bound(&DeskRoutes::followPlan)},
        {M::Put, "/api/plan/text", json, in, bound(&DeskRoutes::savePlan)},
    };
}

ApiReply DeskRoutes::addItem(const ApiRequest& request) {
    const ItemEntry entry = deskRequest::entry(request.json, m_exchange.folder());
    ApiReply reply = replyOf(atDesk(request, [this, &entry] { return m_desk.add(entry); }));
    reply.changed = "list: add an item";
    return reply;
}

ApiReply DeskRoutes::changeItem(const ApiRequest& request) {
    const int line = deskRequest::line(request.pathParts.at(0));
    const ItemEntry entry = deskRequest::entry(request.json, m_exchange.folder());
    return replyOf(atDesk(request, [this, line, &entry] { return m_desk.change(line, entry); }));
}

ApiReply DeskRoutes::setSettings(const ApiRequest& request) {
    // Read and set in one call on the desk's thread: a field left out keeps its value even
    // when the window changed it a moment before.
    return atDesk(request, [this, &request] {
        m_desk.setSettings(deskRequest::settings(request.json, m_desk.settings()));
        return ApiReply::ofJson({{"messages", nlohmann::json::array()}});
    });
}

ApiReply DeskRoutes::endDisplays(const ApiRequest& request) {
    deskRequest::refuseOthers(request.json, {"confirm"});
    if (!jsonBody::requireBool(request.json, "confirm")) {
        throw ApiError(ApiErrorKind::NotConfirmed, std::string(OperatorDesk::endDisplaysText));
    }
    return replyOf(atDesk(request, [this] { return m_desk.endDisplays(); }));
}

ApiReply DeskRoutes::say(const ApiRequest& request) {
    deskRequest::Urgent urgent = deskRequest::urgent(request.json);
    return replyOf(atDesk(request, [this, &urgent] {
        return m_desk.say(std::move(urgent.message), urgent.minutes);
    }));
}

ApiReply DeskRoutes::plan(const ApiRequest& request) {
    return atDesk(request, [this] {
        const DeskState& state = m_desk.state();
        nlohmann::json shown = deskJson::plan(state);
        shown["text"] =
            state.plan ? planText::of(*state.plan, m_desk.planPath(), showFolder()) : std::string();
        shown["lines"] = state.plan ? planText::lines(*state.plan) : std::vector<std::string>();
        return ApiReply::ofJson(shown);
    });
}

ApiReply DeskRoutes::savePlan(const ApiRequest& request) {
    deskRequest::refuseOthers(request.json, {"text"});
    const std::string text = jsonBody::requireString(request.json, "text");
    ApiReply reply = replyOf(atDesk(request, [this, &text] {
        return m_desk.savePlan(planText::from(text, m_desk.planPath(), showFolder()));
    }));
    reply.changed = "save the week plan";
    return reply;
}

ApiReply DeskRoutes::followPlan(const ApiRequest& request) {
    deskRequest::refuseOthers(request.json, {"follow"});
    const bool follow = jsonBody::requireBool(request.json, "follow");
    return replyOf(atDesk(request, [this, follow] { return m_desk.followPlanFile(follow); }));
}

ApiReply DeskRoutes::pictures(const ApiRequest&) const {
    nlohmann::json list = nlohmann::json::array();
    std::error_code error;
    std::vector<std::filesystem::directory_entry> entries;
    for (const auto& entry : std::filesystem::directory_iterator(m_exchange.folder(), error)) {
        const std::string name = entry.path().filename().string();
        if (entry.is_regular_file(error) && isPictureName(name) &&
            !ExchangeFolder::isReservedName(name)) {
            entries.push_back(entry);
        }
    }
    std::sort(entries.begin(), entries.end());
    for (const auto& entry : entries) {
        list.push_back({{"name", entry.path().filename().string()},
                        {"bytes", static_cast<std::uint64_t>(entry.file_size(error))}});
    }
    return ApiReply::ofJson({{"pictures", list}});
}

ApiReply DeskRoutes::upload(const ApiRequest& request) {
    const std::string& name = request.pathParts.at(0);
    const PictureUpload::Result result = m_upload.store(name, request.bytes);
    if (!result.stored) {
        throw ApiError(result.exists ? ApiErrorKind::Refused : ApiErrorKind::BadValue,
                       result.refusal);
    }
    ApiReply reply = ApiReply::ofJson({{"name", name}, {"messages", nlohmann::json::array()}}, 201);
    reply.changed = "picture " + name + " (" + std::to_string(request.bytes.size()) + " bytes)";
    return reply;
}

std::filesystem::path DeskRoutes::showFolder() const {
    const std::string set = m_settings->current()->showFolder;
    return set.empty() ? m_exchange.workDir() : std::filesystem::path(set);
}

std::filesystem::path DeskRoutes::showFileOf(const std::string& name) const {
    if (name.empty()) {
        throw ApiError(ApiErrorKind::BadValue, std::string(OperatorDesk::emptyNameText));
    }
    return ShowFolder(showFolder()).fileOf(name);
}

ApiReply DeskRoutes::shows(const ApiRequest&) const {
    return ApiReply::ofJson({{"shows", ShowFolder(showFolder()).shows()}});
}

ApiReply DeskRoutes::loadShow(const ApiRequest& request) {
    deskRequest::refuseOthers(request.json, {"name"});
    const std::string name = jsonBody::requireString(request.json, "name");
    const std::filesystem::path file = showFileOf(name);
    ApiReply reply = replyOf(atDesk(request, [this, &file] { return m_desk.load(file); }));
    reply.changed = "load the show file " + name;
    return reply;
}

ApiReply DeskRoutes::saveShow(const ApiRequest& request) {
    deskRequest::refuseOthers(request.json, {"name"});
    const std::string asked = jsonBody::requireString(request.json, "name");
    showFileOf(asked);
    // The extension rule of the window's chooser.
    const std::string name = showFile::saveName(asked);
    const std::filesystem::path file = showFileOf(name);
    ApiReply reply = replyOf(atDesk(request, [this, &file] { return m_desk.save(file); }));
    reply.json["name"] = name;
    reply.changed = "save the show file " + name;
    return reply;
}

} // namespace lm
