#include "JsonBody.h"

#include "ApiError.h"

#include <gtest/gtest.h>
#include <httplib.h>
#include <optional>
#include <string>

namespace lm {
namespace {

// What a refusal became: its status and its code word, read back from the JSON body.
struct Answer {
    int status = 0;
    std::string code;
};

Answer refusalOf(const ApiError& error) {
    httplib::Response response;
    sendError(response, error);
    return {response.status, nlohmann::json::parse(response.body)["error"]["code"]};
}

struct BodyCase {
    const char* name;
    std::string contentType;
    std::string body;
    std::size_t limit;
    std::optional<Answer> refusal; // nothing: taken
};

class WebJsonBodyTest : public ::testing::TestWithParam<BodyCase> {};

TEST_P(WebJsonBodyTest, TakesOrRefusesTheBody) {
    const BodyCase& row = GetParam();
    httplib::Request request;
    request.set_header("Content-Type", row.contentType);
    request.body = row.body;
    try {
        const nlohmann::json value = jsonBody::parse(request, row.limit);
        EXPECT_FALSE(row.refusal) << row.name << " was taken";
        EXPECT_TRUE(value.is_object());
    } catch (const ApiError& error) {
        ASSERT_TRUE(row.refusal) << row.name << " was refused: " << error.what();
        const Answer answer = refusalOf(error);
        EXPECT_EQ(answer.status, row.refusal->status) << row.name;
        EXPECT_EQ(answer.code, row.refusal->code) << row.name;
    }
}

std::string nested(int depth) {
    return "{\"a\":" + std::string(depth, '[') + std::string(depth, ']') + "}";
}

INSTANTIATE_TEST_SUITE_P(
    WebBodies, WebJsonBodyTest,
    ::testing::Values(
        BodyCase{"object", "application/json", R"({"text":"x"})", 100, std::nullopt},
        BodyCase{"with charset", "application/json; charset=utf-8", "{}", 100, std::nullopt},
        BodyCase{"exactly the limit", "application/json", R"({"a":"12345"})", 13, std::nullopt},
        BodyCase{"one byte over", "application/json", R"({"a":"123456"})", 13,
                 Answer{413, "too_large"}},
        BodyCase{"form", "application/x-www-form-urlencoded", "a=1", 100,
                 Answer{415, "wrong_content_type"}},
        BodyCase{"plain text", "text/plain", "{}", 100, Answer{415, "wrong_content_type"}},
        BodyCase{"cut short", "application/json", R"({"text":)", 100, Answer{400, "bad_json"}},
        BodyCase{"empty", "application/json", "", 100, Answer{400, "bad_json"}},
        BodyCase{"array", "application/json", "[1,2]", 100, Answer{400, "bad_json"}},
        BodyCase{"string", "application/json", "\"x\"", 100, Answer{400, "bad_json"}},
        BodyCase{"not UTF-8", "application/json", "{\"a\":\"\xff\"}", 100, Answer{400, "bad_json"}},
        BodyCase{"32 levels", "application/json", nested(31), 1000, std::nullopt},
        BodyCase{"too deep", "application/json", nested(40), 1000, Answer{400, "bad_json"}}));

struct FieldCase {
    const char* name;
    std::string body;
    bool taken;
};

class WebJsonFieldTest : public ::testing::TestWithParam<FieldCase> {};

// {"text": string, "count": 1..10, "on": bool}, "note" optional string.
TEST_P(WebJsonFieldTest, ChecksEachField) {
    const FieldCase& row = GetParam();
    const nlohmann::json object = jsonBody::parse(row.body, 1000);
    try {
        jsonBody::requireString(object, "text");
        jsonBody::requireInteger(object, "count", 1, 10);
        jsonBody::requireBool(object, "on");
        jsonBody::optionalString(object, "note");
        EXPECT_TRUE(row.taken) << row.name;
    } catch (const ApiError& error) {
        EXPECT_FALSE(row.taken) << row.name << ": " << error.what();
        EXPECT_EQ(error.kind(), ApiErrorKind::BadValue) << row.name;
    }
}

INSTANTIATE_TEST_SUITE_P(
    WebFields, WebJsonFieldTest,
    ::testing::Values(
        FieldCase{"all right", R"({"text":"a","count":10,"on":true})", true},
        FieldCase{"note given", R"({"text":"a","count":1,"on":false,"note":"n"})", true},
        FieldCase{"note null", R"({"text":"a","count":1,"on":false,"note":null})", true},
        FieldCase{"text missing", R"({"count":1,"on":true})", false},
        FieldCase{"text a number", R"({"text":5,"count":1,"on":true})", false},
        FieldCase{"count a string", R"({"text":"a","count":"1","on":true})", false},
        FieldCase{"count a fraction", R"({"text":"a","count":1.5,"on":true})", false},
        FieldCase{"count below", R"({"text":"a","count":0,"on":true})", false},
        FieldCase{"count above", R"({"text":"a","count":11,"on":true})", false},
        FieldCase{"count huge", R"({"text":"a","count":18446744073709551615,"on":true})", false},
        FieldCase{"on a number", R"({"text":"a","count":1,"on":1})", false},
        FieldCase{"note a list", R"({"text":"a","count":1,"on":true,"note":[]})", false}));

TEST(WebApiErrorTest, RefusalNamesTheFieldAndKeepsBadBytesReadable) {
    const std::string body = errorBody(ApiErrorKind::BadValue, "\"na\xffme\" is missing");
    const nlohmann::json parsed = nlohmann::json::parse(body);
    EXPECT_EQ(parsed["error"]["code"], "bad_value");
    EXPECT_NE(parsed["error"]["text"].get<std::string>().find("me\" is missing"),
              std::string::npos);
}

} // namespace
} // namespace lm
