#include "LocalRequests.h"

#include <utility>

namespace lm {

LocalRequests::LocalRequests(OperatorDesk& desk, std::function<void()> raise)
    : m_desk(desk), m_raise(std::move(raise)) {
    m_timer.setHandler([this] { look(); });
    m_timer.setInterval(lookEveryMs);
}

void LocalRequests::handle(const ControlRequest& request, Reply reply) {
    if (m_desk.isClosed()) {
        reply({ControlReply::Status::Refused, "the control program is ending"});
        return;
    }
    switch (request.kind) {
    case ControlRequest::Kind::Raise:
        if (m_raise) {
            m_raise();
        }
        reply({});
        return;
    case ControlRequest::Kind::Open:
    case ControlRequest::Kind::Start:
        handOver(request, reply);
        return;
    case ControlRequest::Kind::Say: {
        UrgentMessage message;
        message.text = request.text;
        const DeskOutcome outcome = m_desk.say(message, request.minutes);
        if (!outcome.done()) {
            reply({ControlReply::Status::Refused, outcome.words()});
            return;
        }
        m_waiting.push_back({std::move(reply), 0});
        m_timer.setEnabled(true);
        return;
    }
    case ControlRequest::Kind::SayEnd:
        m_desk.endUrgent();
        reply({});
        return;
    case ControlRequest::Kind::Plan:
        followPlan(request, reply);
        return;
    }
}

void LocalRequests::handOver(const ControlRequest& request, const Reply& reply) {
    if (m_raise) {
        m_raise();
    }
    const DeskOutcome outcome =
        m_desk.handOver(request.path, request.kind == ControlRequest::Kind::Start);
    // A load that went on says its warning; a refusal says why, in the box's words.
    std::string line;
    if (!outcome.messages.empty()) {
        line = outcome.done() ? outcome.messages.front().text : outcome.messages.back().text;
    } else if (!outcome.done()) {
        line = outcome.words();
    }
    reply({outcome.done() ? ControlReply::Status::Done : ControlReply::Status::Refused,
           std::move(line)});
    // The boxes open after the reply, in the window where the operator is.
    m_desk.announce(outcome.messages);
}

void LocalRequests::followPlan(const ControlRequest& request, const Reply& reply) {
    // A plan that cannot be read leaves the one before in force.
    DeskOutcome outcome = m_desk.usePlan(request.path);
    if (outcome.done()) {
        outcome = m_desk.followPlan(true);
    }
    reply(outcome.done() ? ControlReply{ControlReply::Status::Done,
                                        "週の予定「" + request.path + "」に従います。"}
                         : ControlReply{ControlReply::Status::Refused, outcome.words()});
}

void LocalRequests::look() {
    const DeskState& state = m_desk.state();
    for (auto it = m_waiting.begin(); it != m_waiting.end();) {
        it->waitedMs += lookEveryMs;
        if (!state.reach.waiting.empty() && it->waitedMs < waitMs && state.urgent) {
            ++it;
            continue;
        }
        const Reply reply = std::move(it->reply);
        it = m_waiting.erase(it);
        reply(replyOf(state.reach));
    }
    if (m_waiting.empty()) {
        m_timer.setEnabled(false);
    }
}

ControlReply LocalRequests::replyOf(const UrgentReach& reach) {
    ControlReply reply{ControlReply::Status::Done, reach.line()};
    switch (reach.status()) {
    case 0:
        break;
    case 3:
        reply.status = ControlReply::Status::Unconfirmed;
        break;
    default:
        reply.status = ControlReply::Status::Refused;
        break;
    }
    return reply;
}

} // namespace lm
