#pragma once

#include "DeskOutcome.h"
#include "DeskState.h"

#include <nlohmann/json.hpp>
#include <vector>

namespace lm {

class OperatorDesk;

// The desk's state as the web API shows it: the same parts the control window shows, each
// under its own key, so that a change stream can send only the parts that changed. Lines of
// the list are counted from 1, as the wall's cells count them.
namespace deskJson {

nlohmann::json state(const OperatorDesk& desk);
// The parts that `changes` names; an empty object when none of them is shown.
nlohmann::json changed(const OperatorDesk& desk, DeskChanges changes);

nlohmann::json list(const OperatorDesk& desk);
nlohmann::json settings(const ShowSettings& settings);
nlohmann::json run(const DeskState& state);
nlohmann::json wall(const DeskState& state);
// null when no urgent message runs.
nlohmann::json urgent(const DeskState& state);
// The week plan: its file's name, whether a plan was read from it, "予定に従う", and what the
// desk last said of it (the window's corner line).
nlohmann::json plan(const DeskState& state);
nlohmann::json messages(const std::vector<DeskMessage>& messages);

} // namespace deskJson

} // namespace lm
