// The web API's routes onto a real operator's desk, through the real server on the loopback:
// every command and what it changed, every refusal with the window's words while nothing
// changes and nothing is written, the settings out of reach, and the change stream.

#include "DeskEvents.h"
#include "DeskRoutes.h"
#include "OperatorDesk.h"
#include "PlanFile.h"
#include "QtPictureProbe.h"
#include "ShowFile.h"
#include "TestRows.h"
#include "TestServer.h"
#include "UniformJpeg.h"
#include "VirtualClock.h"
#include "VirtualWallClock.h"

#include <fstream>
#include <functional>
#include <gtest/gtest.h>
#include <map>
#include <sstream>

namespace lm {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using test::PinnedClient;
using test::TestServer;

struct Answer {
    int status = 0;
    nlohmann::json json;
    std::string code() const {
        return json.contains("error") ? json["error"]["code"].get<std::string>() : std::string();
    }
    std::string text() const {
        return json.contains("error") ? json["error"]["text"].get<std::string>() : std::string();
    }
};

// Every file under a folder with the size and a hash of its bytes: what "nothing is written"
// compares.
std::map<std::string, std::string> filesUnder(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code error;
    for (const auto& entry : fs::recursive_directory_iterator(folder, error)) {
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            std::ostringstream bytes;
            bytes << in.rdbuf();
            const std::string text = bytes.str();
            files[entry.path().filename().string()] =
                std::to_string(text.size()) + "/" + std::to_string(std::hash<std::string>{}(text));
        }
    }
    return files;
}

void writeFile(const fs::path& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary) << bytes;
}

// A desk as the program has it, served by the web API's routes on the loopback.
class DeskApi {
public:
    DeskApi() {
        desk.open();
        for (Timer* timer : desk.timers()) {
            clock.attach(*timer);
        }
        server = std::make_unique<TestServer>(
            [this](std::shared_ptr<WebSettingsStore> store) {
                routes = std::make_unique<DeskRoutes>(desk, std::move(store), inspector);
                return routes->routes();
            },
            false, TestServer::quickLimits());
        events = std::make_unique<DeskEvents>(desk, server->server.events());
        client = std::make_unique<PinnedClient>(server->port());
    }
    ~DeskApi() {
        server->server.stop();
        events.reset();
    }

    Answer call(const std::string& method, const std::string& path, const std::string& body = {},
                const std::string& type = "application/json") {
        httplib::Headers headers{{"Authorization", "Bearer " + server->token}};
        httplib::SSLClient& http = client->http();
        const auto send = [&]() {
            if (method == "GET") {
                return http.Get(path, headers);
            }
            if (method == "POST") {
                return http.Post(path, headers, body, type);
            }
            if (method == "PUT") {
                return http.Put(path, headers, body, type);
            }
            // cpp-httplib sends no Content-Length with an empty DELETE; the server wants one.
            headers.emplace("Content-Length", std::to_string(body.size()));
            return http.Delete(path, headers, body, type);
        };
        const httplib::Result result = send();
        if (!result) {
            return {};
        }
        return {result->status, nlohmann::json::parse(result->body, nullptr, false)};
    }
    Answer add(const std::string& text) {
        return call("POST", "/api/list", nlohmann::json{{"text", text}}.dump());
    }
    fs::path dataFolder() const { return work.path() / "data"; }

    test::TempDir work;
    test::TempDir state;
    test::VirtualClock clock;
    test::VirtualWallClock wallClock{clock};
    OperatorDesk desk{{work.path(), state.path(), &wallClock}};
    // A modal step of the window, held open.
    std::optional<OperatorDesk::Step> step;
    QtPictureProbe inspector;
    std::unique_ptr<DeskRoutes> routes;
    std::unique_ptr<TestServer> server;
    std::unique_ptr<DeskEvents> events;
    std::unique_ptr<PinnedClient> client;
};

// --- Every command, and what it changed on the desk -----------------------------------------

struct CommandCase {
    const char* name;
    std::function<void(DeskApi&)> before;
    const char* method;
    std::string path;
    std::string body;
    int status;
    std::function<void(DeskApi&, const Answer&)> check;
};

class DeskCommandTest : public ::testing::TestWithParam<CommandCase> {};

TEST_P(DeskCommandTest, DoesWhatTheWindowDoes) {
    const CommandCase& row = GetParam();
    DeskApi api;
    if (row.before) {
        row.before(api);
    }
    const Answer answer = api.call(row.method, row.path, row.body);
    ASSERT_EQ(answer.status, row.status) << row.name << ": " << answer.json.dump();
    row.check(api, answer);
}

void twoTexts(DeskApi& api) {
    ASSERT_EQ(api.add("一").status, 200);
    ASSERT_EQ(api.add("二").status, 200);
}

// plan.txt in the working folder: blank, all week.
void writePlan(DeskApi& api) {
    writeFile(api.work.path() / "plan.txt", "lmsign-plan 1\n[otherwise]\nblank\n");
}

// A plan as the page sends it: a show of the show folder by its bare name.
const std::string weekdays =
    R"({"text": "lmsign-plan 1\n[weekly]\ndays = mon-fri\ntime = 09:00-18:00\nshow = a.txt\nspeed = 速く\n"})";

void showFolderElsewhere(DeskApi& api) {
    std::string why;
    fs::create_directories(api.work.path() / "shows");
    ASSERT_TRUE(api.server->store->update(
        [&api](WebSettings& settings, std::string&) {
            settings.showFolder = (api.work.path() / "shows").string();
            return true;
        },
        why))
        << why;
}

const ItemTable::Row& row(DeskApi& api, int r) {
    return api.desk.table().row(r);
}

INSTANTIATE_TEST_SUITE_P(
    DeskCommands, DeskCommandTest,
    ::testing::Values(
        CommandCase{"add a text with every field", nullptr, "POST", "/api/list",
                    R"({"text": "本日休業", "movement": "左へ", "textColour": "明るい黄色",
                        "backColour": "暗い青", "speed": "速く"})",
                    200,
                    [](DeskApi& api, const Answer&) {
                        ASSERT_EQ(api.desk.table().count(), 1);
                        const ItemTable::Row& item = row(api, 0);
                        EXPECT_EQ(item[ItemTable::kindField], "文字");
                        EXPECT_EQ(item[ItemTable::textField], "本日休業");
                        EXPECT_EQ(item[ItemTable::textColourField], "明るい黄色");
                        EXPECT_EQ(item[ItemTable::backColourField], "暗い青");
                        EXPECT_EQ(item[ItemTable::speedField], "速く");
                    }},
        CommandCase{"add a picture uploaded before",
                    [](DeskApi& api) {
                        ASSERT_EQ(api.call("PUT", "/api/pictures/shop.jpg",
                                           test::uniformGreyJpeg(64, 32), "image/jpeg")
                                      .status,
                                  201);
                    },
                    "POST", "/api/list", R"({"picture": "shop.jpg", "backColour": "白"})", 200,
                    [](DeskApi& api, const Answer& answer) {
                        EXPECT_EQ(row(api, 0)[ItemTable::kindField], "画像");
                        EXPECT_EQ(row(api, 0)[ItemTable::pictureField], "shop.jpg");
                        EXPECT_TRUE(answer.json["messages"].empty());
                    }},
        CommandCase{"add a picture that is not there: added, with the window's warning", nullptr,
                    "POST", "/api/list", R"({"picture": "missing.jpg"})", 200,
                    [](DeskApi& api, const Answer& answer) {
                        EXPECT_EQ(api.desk.table().count(), 1);
                        ASSERT_EQ(answer.json["messages"].size(), 1U);
                        EXPECT_NE(answer.json["messages"][0]["text"].get<std::string>().find(
                                      "missing.jpg"),
                                  std::string::npos);
                    }},
        CommandCase{"change line 2", twoTexts, "PUT", "/api/list/2",
                    R"({"text": "三", "textColour": "明るい赤"})", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_EQ(row(api, 0)[ItemTable::textField], "一");
                        EXPECT_EQ(row(api, 1)[ItemTable::textField], "三");
                        EXPECT_EQ(row(api, 1)[ItemTable::textColourField], "明るい赤");
                    }},
        CommandCase{"delete line 1", twoTexts, "DELETE", "/api/list/1", "", 200,
                    [](DeskApi& api, const Answer&) {
                        ASSERT_EQ(api.desk.table().count(), 1);
                        EXPECT_EQ(row(api, 0)[ItemTable::textField], "二");
                    }},
        CommandCase{"delete all", twoTexts, "DELETE", "/api/list", "", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_EQ(api.desk.table().count(), 0);
                    }},
        CommandCase{"set the show's settings", nullptr, "PUT", "/api/show/settings",
                    R"({"movement": "左へ", "speed": "遅く", "displayCount": "3",
                        "repeat": false})",
                    200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_EQ(api.desk.settings(), (ShowSettings{"左へ", "遅く", "3", false}));
                    }},
        CommandCase{"set one setting: the others stay", nullptr, "PUT", "/api/show/settings",
                    R"({"speed": "やや速く"})", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_EQ(api.desk.settings(),
                                  (ShowSettings{"移動しない", "やや速く", "16", true}));
                    }},
        CommandCase{"start", twoTexts, "POST", "/api/show/start", "", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_TRUE(api.desk.state().showRunning);
                    }},
        CommandCase{"stop",
                    [](DeskApi& api) {
                        twoTexts(api);
                        ASSERT_EQ(api.call("POST", "/api/show/start").status, 200);
                    },
                    "POST", "/api/show/stop", "", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_FALSE(api.desk.state().showRunning);
                    }},
        CommandCase{"end the displays, confirmed",
                    [](DeskApi& api) {
                        twoTexts(api);
                        ASSERT_EQ(api.call("POST", "/api/show/start").status, 200);
                    },
                    "POST", "/api/displays/end", R"({"confirm": true})", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_FALSE(api.desk.state().showRunning);
                    }},
        CommandCase{"urgent message for 15 minutes", nullptr, "POST", "/api/urgent",
                    R"({"text": "地震です", "minutes": 15})", 200,
                    [](DeskApi& api, const Answer&) {
                        ASSERT_TRUE(api.desk.state().urgent);
                        EXPECT_EQ(api.desk.state().urgent->text, "地震です");
                        EXPECT_EQ(api.desk.state().urgent->backColour, "明るい赤");
                        EXPECT_EQ(*api.desk.state().urgent->endsAtUs,
                                  api.wallClock.realUs() + 15LL * 60 * 1000000);
                    }},
        CommandCase{"urgent message until ended", nullptr, "POST", "/api/urgent",
                    R"({"text": "避難して下さい", "backColour": "黒", "minutes": 0})", 200,
                    [](DeskApi& api, const Answer&) {
                        ASSERT_TRUE(api.desk.state().urgent);
                        EXPECT_FALSE(api.desk.state().urgent->endsAtUs);
                        EXPECT_EQ(api.desk.state().urgent->backColour, "黒");
                    }},
        CommandCase{"end the urgent message",
                    [](DeskApi& api) {
                        ASSERT_EQ(
                            api.call("POST", "/api/urgent", R"({"text":"a","minutes":0})").status,
                            200);
                    },
                    "DELETE", "/api/urgent", "", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_FALSE(api.desk.state().urgent);
                    }},
        CommandCase{"save, with the chooser's extension rule", twoTexts, "POST", "/api/shows/save",
                    R"({"name": "朝の部"})", 200,
                    [](DeskApi& api, const Answer& answer) {
                        EXPECT_EQ(answer.json["name"], "朝の部.txt");
                        const auto saved = showFile::read(api.work.path() / "朝の部.txt");
                        ASSERT_TRUE(saved);
                        EXPECT_EQ(saved->items.size(), 2U);
                    }},
        CommandCase{"load a show file of the folder",
                    [](DeskApi& api) {
                        ItemTable table;
                        table.append(test::textRow("夜の部"));
                        ASSERT_EQ(showFile::write(api.work.path() / "night.txt", table),
                                  WriteStatus::Ok);
                    },
                    "POST", "/api/shows/load", R"({"name": "night.txt"})", 200,
                    [](DeskApi& api, const Answer&) {
                        ASSERT_EQ(api.desk.table().count(), 1);
                        EXPECT_EQ(row(api, 0)[ItemTable::textField], "夜の部");
                    }},
        CommandCase{"list the show files",
                    [](DeskApi& api) {
                        writeFile(api.work.path() / "b.txt", "");
                        writeFile(api.work.path() / "A.TXT", "");
                        writeFile(api.work.path() / "notes.md", "");
                    },
                    "GET", "/api/shows", "", 200,
                    [](DeskApi&, const Answer& answer) {
                        EXPECT_EQ(answer.json["shows"], nlohmann::json({"A.TXT", "b.txt"}));
                    }},
        CommandCase{"list the pictures",
                    [](DeskApi& api) {
                        writeFile(api.dataFolder() / "a.gif", "GIF89a");
                        writeFile(api.dataFolder() / "notes.txt", "");
                    },
                    "GET", "/api/pictures", "", 200,
                    [](DeskApi&, const Answer& answer) {
                        EXPECT_EQ(answer.json["pictures"],
                                  nlohmann::json::parse(R"([{"name": "a.gif", "bytes": 6}])"));
                    }},
        CommandCase{"follow the plan: its file is read afresh", writePlan, "PUT", "/api/plan",
                    R"({"follow": true})", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_TRUE(api.desk.followsPlan());
                        const Answer plan = api.call("GET", "/api/plan");
                        EXPECT_EQ(plan.json["file"], "plan.txt");
                        EXPECT_EQ(plan.json["read"], true);
                        EXPECT_EQ(plan.json["follow"], true);
                    }},
        CommandCase{"stop following the plan",
                    [](DeskApi& api) {
                        writePlan(api);
                        ASSERT_TRUE(api.desk.followPlanFile(true).done());
                    },
                    "PUT", "/api/plan", R"({"follow": false})", 200,
                    [](DeskApi& api, const Answer&) {
                        EXPECT_FALSE(api.desk.followsPlan());
                        EXPECT_EQ(api.call("GET", "/api/state").json["plan"]["follow"], false);
                    }},
        CommandCase{"a plan file spoilt after it was read: refused, the plan read before runs",
                    [](DeskApi& api) {
                        writePlan(api);
                        ASSERT_TRUE(api.desk.followPlanFile(true).done());
                        ASSERT_TRUE(api.desk.followPlan(false).done());
                        writeFile(api.work.path() / "plan.txt", "lmsign-plan 1\n[weekly]\n");
                    },
                    "PUT", "/api/plan", R"({"follow": true})", 422,
                    [](DeskApi& api, const Answer& answer) {
                        EXPECT_NE(answer.text().find("plan.txt"), std::string::npos)
                            << answer.text();
                        EXPECT_TRUE(api.desk.followsPlan());
                    }},
        CommandCase{"save a plan: written beside the working folder's shows, and read back",
                    nullptr, "PUT", "/api/plan/text", weekdays, 200,
                    [](DeskApi& api, const Answer&) {
                        const PlanRead saved = planFile::read(api.work.path() / "plan.txt");
                        ASSERT_TRUE(saved.plan) << saved.reason;
                        ASSERT_EQ(saved.plan->weekly.size(), 1U);
                        EXPECT_EQ(saved.plan->weekly[0].run.showFile, "a.txt");
                        EXPECT_EQ(saved.plan->weekly[0].run.speed, "速く");
                        EXPECT_EQ(api.desk.state().plan, saved.plan);
                        const Answer plan = api.call("GET", "/api/plan");
                        EXPECT_EQ(plan.json["lines"], nlohmann::json::parse(
                                                          R"(["毎週 月火水木金 09:00〜18:00 a.txt",
                                                              "予定がないとき 表示なし"])"));
                    }},
        CommandCase{"save a plan whose shows lie in the show folder set in the window",
                    showFolderElsewhere, "PUT", "/api/plan/text", weekdays, 200,
                    [](DeskApi& api, const Answer&) {
                        ASSERT_TRUE(api.desk.state().plan);
                        EXPECT_EQ(planFile::showPath(api.desk.planPath(),
                                                     api.desk.state().plan->weekly.at(0).run),
                                  api.work.path() / "shows" / "a.txt");
                        const std::string text = api.call("GET", "/api/plan").json["text"];
                        EXPECT_NE(text.find("show = a.txt\n"), std::string::npos) << text;
                    }},
        CommandCase{"the state: list, settings, the sixteen cells", twoTexts, "GET", "/api/state",
                    "", 200, [](DeskApi&, const Answer& answer) {
                        EXPECT_EQ(answer.json["list"]["items"][1]["line"], 2);
                        EXPECT_EQ(answer.json["list"]["items"][1]["text"], "二");
                        EXPECT_EQ(answer.json["settings"]["speed"], "中");
                        ASSERT_EQ(answer.json["wall"].size(), 16U);
                        EXPECT_EQ(answer.json["wall"][15]["display"], 16);
                        EXPECT_EQ(answer.json["wall"][0]["state"], "absent");
                        EXPECT_EQ(answer.json["wall"][0]["back"], "#c0c0c0");
                        EXPECT_TRUE(answer.json["urgent"].is_null());
                    }}));

// --- Refusals: a 4xx with the window's words, and nothing changed or written -------------------

struct RefusalCase {
    const char* name;
    std::function<void(DeskApi&)> before;
    const char* method;
    std::string path;
    std::string body;
    std::string type;
    int status;
    std::string code;
    std::string words; // a part of the text
};

class DeskRefusalTest : public ::testing::TestWithParam<RefusalCase> {};

TEST_P(DeskRefusalTest, RefusesAndLeavesEverythingAsItWas) {
    const RefusalCase& row = GetParam();
    DeskApi api;
    twoTexts(api);
    if (row.before) {
        row.before(api);
    }
    const nlohmann::json stateBefore = api.call("GET", "/api/state").json;
    const auto workBefore = filesUnder(api.work.path());
    const auto copyBefore = filesUnder(api.state.path());

    const Answer answer = api.call(row.method, row.path, row.body, row.type);

    EXPECT_EQ(answer.status, row.status) << row.name << ": " << answer.json.dump();
    EXPECT_EQ(answer.code(), row.code) << row.name;
    EXPECT_NE(answer.text().find(row.words), std::string::npos)
        << row.name << ": " << answer.text();
    EXPECT_EQ(api.call("GET", "/api/state").json, stateBefore) << row.name;
    EXPECT_EQ(filesUnder(api.work.path()), workBefore) << row.name;
    EXPECT_EQ(filesUnder(api.state.path()), copyBefore) << row.name;
}

void fillTheList(DeskApi& api) {
    for (int i = 2; i < ItemTable::rowCount; ++i) {
        ASSERT_TRUE(api.desk.add({"x", "移動しない", "白", "黒", "中", ""}).done());
    }
}

const std::string json = "application/json";

INSTANTIATE_TEST_SUITE_P(
    DeskRefusals, DeskRefusalTest,
    ::testing::Values(
        RefusalCase{"malformed JSON", nullptr, "POST", "/api/list", R"({"text": )", json, 400,
                    "bad_json", ""},
        RefusalCase{"a list, not an object", nullptr, "POST", "/api/list", R"(["x"])", json, 400,
                    "bad_json", ""},
        RefusalCase{"text of the wrong type", nullptr, "POST", "/api/list", R"({"text": 5})", json,
                    400, "bad_value", "text"},
        RefusalCase{"a field no route knows", nullptr, "POST", "/api/list",
                    R"({"text": "a", "color": "赤"})", json, 400, "bad_value", "color"},
        RefusalCase{"text outside code page 932", nullptr, "POST", "/api/list",
                    R"({"text": "雪だるま☃"})", json, 400, "bad_value",
                    "「表示させる文字」に、表示プログラムに送れない文字（シフトJISにない文字）"},
        RefusalCase{"text with a line break", nullptr, "POST", "/api/list",
                    R"({"text": "一行目\n二行目"})", json, 400, "bad_value", "「表示させる文字」"},
        RefusalCase{"a full list", fillTheList, "POST", "/api/list", R"({"text": "a"})", json, 422,
                    "refused", "表示のリストには 101 項目までしか入りません。"},
        RefusalCase{"a line that is not there", nullptr, "DELETE", "/api/list/7", "", json, 422,
                    "refused", "表示のリストにその行はありません。"},
        RefusalCase{"line 0", nullptr, "PUT", "/api/list/0", R"({"text": "a"})", json, 400,
                    "bad_value", "from 1"},
        RefusalCase{"a line beyond any number", nullptr, "DELETE", "/api/list/99999999999999999999",
                    "", json, 400, "bad_value", "from 1"},
        RefusalCase{"a start of one item",
                    [](DeskApi& api) { ASSERT_TRUE(api.desk.remove(1).done()); }, "POST",
                    "/api/show/start", "", json, 422, "refused",
                    "２項目以上の動作（文字や画像）を"},
        RefusalCase{"end the displays unasked", nullptr, "POST", "/api/displays/end",
                    R"({"confirm": false})", json, 409, "not_confirmed",
                    "表示プログラムを終了させます。よろしいですか？"},
        RefusalCase{"urgent minutes the window does not offer", nullptr, "POST", "/api/urgent",
                    R"({"text": "a", "minutes": 7})", json, 400, "bad_value", "1, 5, 15 or 0"},
        RefusalCase{"an empty urgent message", nullptr, "POST", "/api/urgent",
                    R"({"text": "", "minutes": 1})", json, 400, "bad_value",
                    "表示させる文字を入力して下さい。"},
        RefusalCase{
            "a command under the window's open chooser",
            [](DeskApi& api) { api.step.emplace(api.desk.holdStep("データファイルの読み込み")); },
            "POST", "/api/list", R"({"text": "a"})", json, 409, "busy", "データファイルの読み込み"},
        RefusalCase{"a show name with ..", nullptr, "POST", "/api/shows/load",
                    R"({"name": "../state/copy.txt"})", json, 400, "bad_value", ".."},
        RefusalCase{"a show name with /", nullptr, "POST", "/api/shows/save",
                    R"({"name": "/etc/passwd"})", json, 400, "bad_value", "/"},
        RefusalCase{"a show name that is empty", nullptr, "POST", "/api/shows/save",
                    R"({"name": ""})", json, 400, "bad_value", "ファイル名を正しく入力して下さい"},
        RefusalCase{"following a plan that is not there", nullptr, "PUT", "/api/plan",
                    R"({"follow": true})", json, 422, "refused", "plan.txt"},
        RefusalCase{"naming the plan file over the network", writePlan, "PUT", "/api/plan",
                    R"({"follow": true, "file": "/etc/passwd"})", json, 400, "bad_value", "file"},
        RefusalCase{"a plan whose show lies outside the show folder", nullptr, "PUT",
                    "/api/plan/text",
                    R"({"text": "lmsign-plan 1\n[otherwise]\nshow = ../../etc/a.txt\n"})", json,
                    400, "bad_value", "「../../etc/a.txt」は、データファイルのフォルダーにある"},
        RefusalCase{"a plan that cannot be read, with its line", nullptr, "PUT", "/api/plan/text",
                    R"({"text": "lmsign-plan 1\n[weekly]\ndays = someday\n"})", json, 400,
                    "bad_value", "3 行目"},
        RefusalCase{
            "a plan whose entries overlap, named in the dialog's words", nullptr, "PUT",
            "/api/plan/text",
            R"({"text": "lmsign-plan 1\n[weekly]\ndays = mon\ntime = 09:00-12:00\nblank\n[weekly]\ndays = mon\ntime = 11:00-13:00\nblank\n"})",
            json, 400, "bad_value", "月 11:00 から重なっています"},
        RefusalCase{"a show file that is not there", nullptr, "POST", "/api/shows/load",
                    R"({"name": "none.txt"})", json, 422, "refused", "を読み込めませんでした。"},
        RefusalCase{"a body too large", nullptr, "POST", "/api/list",
                    "{\"text\": \"" + std::string(1100 * 1024, 'a') + "\"}", json, 413, "too_large",
                    ""},
        RefusalCase{"an upload that is no picture", nullptr, "PUT", "/api/pictures/a.jpg",
                    "plain text, not a picture", "image/jpeg", 400, "bad_value",
                    "は画像（JPEG、BMP、GIF）ではありません。"},
        RefusalCase{"a picture bomb", nullptr, "PUT", "/api/pictures/bomb.jpg",
                    test::uniformGreyJpeg(20000, 20000), "image/jpeg", 400, "bad_value",
                    "20000×20000"},
        RefusalCase{"a picture name outside code page 932", nullptr, "PUT", "/api/pictures/☃.jpg",
                    test::uniformGreyJpeg(8, 8), "image/jpeg", 400, "bad_value",
                    "シフトJISにない文字"},
        RefusalCase{"a picture of a name that is there",
                    [](DeskApi& api) { writeFile(api.dataFolder() / "logo.gif", "GIF89a"); }, "PUT",
                    "/api/pictures/logo.gif", test::uniformGreyJpeg(8, 8), "image/jpeg", 422,
                    "refused", "同じ名前の画像「logo.gif」がすでにあります"},
        RefusalCase{"a picture name with ..", nullptr, "PUT", "/api/pictures/..",
                    test::uniformGreyJpeg(8, 8), "image/jpeg", 400, "bad_value", ".."}));

// --- The web settings cannot be reached through the network ---------------------------------

struct UnreachableCase {
    const char* method;
    const char* path;
};

class WebSettingsUnreachableTest : public ::testing::TestWithParam<UnreachableCase> {};

TEST_P(WebSettingsUnreachableTest, NoRouteChangesThem) {
    DeskApi api;
    const auto before = filesUnder(api.server->places.configFolder);
    const Answer answer = api.call(GetParam().method, GetParam().path,
                                   R"({"enabled": false, "port": 1, "password": "x"})");
    EXPECT_EQ(answer.status, 404) << GetParam().path;
    EXPECT_EQ(filesUnder(api.server->places.configFolder), before);
}

INSTANTIATE_TEST_SUITE_P(
    WebSettingsUnreachable, WebSettingsUnreachableTest,
    ::testing::Values(UnreachableCase{"GET", "/api/settings"},
                      UnreachableCase{"PUT", "/api/settings"}, UnreachableCase{"POST", "/api/web"},
                      UnreachableCase{"PUT", "/api/web"}, UnreachableCase{"POST", "/api/password"},
                      UnreachableCase{"POST", "/api/tokens"}, UnreachableCase{"GET", "/api/tokens"},
                      UnreachableCase{"PUT", "/api/show/settings/web"}));

// --- The change stream ------------------------------------------------------------------------

struct StreamCase {
    const char* name;
    std::function<void(OperatorDesk&)> change; // as the window would make it
    std::string seen;                          // a part of the event
};

class DeskStreamTest : public ::testing::TestWithParam<StreamCase> {};

TEST_P(DeskStreamTest, ChangeFromAnotherFrontEndArrivesWithin100Ms) {
    DeskApi api;
    test::StreamReader stream(api.server->port(), api.server->token);
    ASSERT_TRUE(stream.waitFor(": open", 2s));
    const auto begun = std::chrono::steady_clock::now();
    const auto change = GetParam().change;
    api.server->desk.poster()([&api, change] { change(api.desk); });
    ASSERT_TRUE(stream.waitFor(GetParam().seen, 2s)) << stream.text();
    EXPECT_LT(std::chrono::steady_clock::now() - begun, 100ms) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    DeskStream, DeskStreamTest,
    ::testing::Values(
        StreamCase{"an item added",
                   [](OperatorDesk& desk) {
                       desk.add({"窓から", "移動しない", "白", "黒", "中", ""});
                   },
                   "event: state\ndata: {\"list\":{\"count\":1"},
        StreamCase{
            "the settings",
            [](OperatorDesk& desk) {
                desk.setSettings({"左へ", "速く", "4", false});
            },
            R"("settings":{"displayCount":"4","movement":"左へ","repeat":false,"speed":"速く"})"},
        StreamCase{"an urgent message",
                   [](OperatorDesk& desk) {
                       UrgentMessage message;
                       message.text = "火災";
                       desk.say(message, 0);
                   },
                   R"("urgent":{"backColour":"明るい赤","endsAt":null)"},
        StreamCase{"an announcement",
                   [](OperatorDesk& desk) {
                       desk.announce({{"お知らせ", "注意！"}});
                   },
                   "event: announcement\ndata: {\"messages\":[{\"text\":\"お知らせ\""},
        StreamCase{"what the plan did, as the window's corner line says it",
                   [](OperatorDesk& desk) { desk.tell("予定：18:00 から「夜.txt」"); },
                   R"("notice":"予定：18:00 から「夜.txt」")"}));

} // namespace
} // namespace lm
