#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "window/view.h"

namespace zephran::window::testing {

// A window without a toolkit: it keeps what the controller sets and logs
// each call that changes something the player acts on, so tests see the
// order of start-up and what each action did.
class FakeView : public MainPageView {
 public:
  void AppendItem(ControlId list, std::string_view text) override {
    items[list].emplace_back(text);
  }
  void SelectItem(ControlId list, int index) override {
    selected[list] = index;
    Log("select", list, index);
  }
  int SelectedItem(ControlId list) const override {
    const auto found = selected.find(list);
    return found == selected.end() ? -1 : found->second;
  }
  int CheckValue(ControlId box) const override {
    const auto found = checks.find(box);
    return found == checks.end() ? 0 : found->second;
  }
  void SetCheckValue(ControlId box, int value) override {
    checks[box] = value;
    Log("check", box, value);
  }
  void SetTextColour(ControlId label, Colour colour) override { colours[label] = colour; }
  void Focus(ControlId control) override { focus.push_back(control); }
  void MarkLabel(ControlId label, bool marked) override { marks[label] = marked; }
  void ShowFocusMark(bool shown) override { focus_mark_shown = shown; }
  void OpenList(ControlId list) override {
    open = list;
    Log("open", list);
  }
  void HighlightItem(ControlId list, int index) override { Log("highlight", list, index); }
  void CloseList(ControlId list) override {
    open.reset();
    Log("close", list);
  }
  bool ListOpen(ControlId list) const override { return open == list; }
  int ItemCount(ControlId list) const override {
    const auto found = items.find(list);
    return static_cast<int>(found == items.end() ? Describe(list).items.size()
                                                 : found->second.size());
  }
  void AnswerMessage() override { log.emplace_back("answer"); }
  void CloseWindow() override { log.emplace_back("close window"); }

  std::map<ControlId, std::vector<std::string>> items;
  std::map<ControlId, int> selected;
  std::map<ControlId, int> checks;
  std::map<ControlId, Colour> colours;
  std::map<ControlId, bool> marks;
  bool focus_mark_shown = true;
  std::optional<ControlId> open;
  std::vector<ControlId> focus;
  std::vector<std::string> log;

 private:
  void Log(const char* what, ControlId control, std::optional<int> value = std::nullopt) {
    std::string line = std::string(what) + " " + std::string(Describe(control).name);
    if (value) {
      line += " " + std::to_string(*value);
    }
    log.push_back(line);
  }
};

}  // namespace zephran::window::testing
