#pragma once

#include "DeskOutcome.h"
#include "ExchangeFolder.h"
#include "PictureUpload.h"
#include "WebRoute.h"

#include <filesystem>
#include <memory>

namespace lm {

class OperatorDesk;
class PictureProbe;
class WebSettingsStore;

// The web API's routes onto the operator's desk: every command of the control window. A
// route only reads its request, hands the desk's call to the desk's thread and turns the
// outcome into its answer: the desk decides, with the window's checks and words.
class DeskRoutes {
public:
    // Made on the desk's thread; the desk, the store and the inspector outlive the server.
    DeskRoutes(OperatorDesk& desk, std::shared_ptr<WebSettingsStore> settings,
               const PictureProbe& inspector);

    WebRoutes routes();

    // The answer to a command: its warnings when it was done, else an ApiError with the words
    // of the window's box.
    static ApiReply replyOf(const DeskOutcome& outcome);

private:
    ApiReply addItem(const ApiRequest& request);
    ApiReply changeItem(const ApiRequest& request);
    ApiReply setSettings(const ApiRequest& request);
    ApiReply endDisplays(const ApiRequest& request);
    ApiReply say(const ApiRequest& request);
    ApiReply pictures(const ApiRequest& request) const;
    ApiReply upload(const ApiRequest& request);
    ApiReply shows(const ApiRequest& request) const;
    ApiReply loadShow(const ApiRequest& request);
    ApiReply saveShow(const ApiRequest& request);
    ApiReply plan(const ApiRequest& request);
    ApiReply savePlan(const ApiRequest& request);
    ApiReply followPlan(const ApiRequest& request);
    // The folder the operator set for show files; the working folder when none is set.
    std::filesystem::path showFolder() const;
    // The file of that name in the show folder; a name that is empty or reaches out of the
    // folder is refused.
    std::filesystem::path showFileOf(const std::string& name) const;
    // A command without parameters: the desk's call, answered as its outcome.
    WebRoute command(HttpMethod method, std::string pattern, DeskOutcome (OperatorDesk::*call)());

    // fn on the desk's thread; refused once the desk has closed (the program ends), so that no
    // command writes a job after the Exchange folder was cleaned up.
    template <typename F> auto atDesk(const ApiRequest& request, F&& fn) const {
        return request.onDesk([this, &fn] {
            refuseClosed();
            return fn();
        });
    }
    void refuseClosed() const;

    OperatorDesk& m_desk;
    std::shared_ptr<WebSettingsStore> m_settings;
    ExchangeFolder m_exchange;
    PictureUpload m_upload;
};

} // namespace lm
