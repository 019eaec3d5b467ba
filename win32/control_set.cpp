#include "win32/control_set.h"

#include "win32/resources.h"

namespace zephran::win32 {

using window::ControlDescription;
using window::ControlId;
using window::ControlKind;

ControlSet::ControlSet(HINSTANCE instance, const Fonts& fonts, const FocusCues& cues,
                       TextLabelHost& label_host)
    : instance_(instance),
      fonts_(fonts),
      cues_(cues),
      label_host_(label_host),
      check_off_(LoadPicture(instance, ZEPHRAN_CHECK_OFF, "the check box pictures")),
      check_on_(LoadPicture(instance, ZEPHRAN_CHECK_ON, "the check box pictures")) {}

void ControlSet::Create(HWND parent) {
  parent_ = parent;
  const int list_item_height = DropDownList::ItemHeight(parent, fonts_);
  // Siblings made later lie below the earlier ones, and the Tab key walks
  // them from the top: made top first, the lists and check boxes come in
  // their Tab order and above every label.
  const auto& order = window::MainPageDescription().bottom_to_top;
  for (auto id = order.rbegin(); id != order.rend(); ++id) {
    CreateControl(parent, window::Describe(*id), list_item_height);
  }
}

void ControlSet::CreateControl(HWND parent, const ControlDescription& control,
                               int list_item_height) {
  const int id = kFirstControlId + static_cast<int>(control.id);
  const std::size_t at = Index(control.id);
  switch (control.kind) {
    case ControlKind::kList:
      lists_[at] = std::make_unique<DropDownList>(instance_, parent, id, control, fonts_,
                                                  list_item_height, cues_);
      return;
    case ControlKind::kCheckBox:
      check_boxes_[at] = std::make_unique<PictureCheckBox>(
          instance_, parent, id, control, CheckPictures{check_off_.Get(), check_on_.Get()}, cues_);
      return;
    case ControlKind::kLabel:
      labels_[at] =
          std::make_unique<TextLabel>(instance_, parent, id, control, fonts_.Get(control.font),
                                      fonts_.TextShift(control.font), label_host_);
      return;
  }
}

HWND ControlSet::Handle(ControlId id) const {
  const std::size_t at = Index(id);
  if (lists_[at]) {
    return lists_[at]->Handle();
  }
  if (check_boxes_[at]) {
    return check_boxes_[at]->Handle();
  }
  return labels_[at] ? labels_[at]->Handle() : nullptr;
}

std::optional<ControlId> ControlSet::Identify(HWND control) const {
  // Only our own children: any other window's number means nothing here.
  if (control == nullptr || parent_ == nullptr || ::GetParent(control) != parent_) {
    return std::nullopt;
  }
  const int number = ::GetDlgCtrlID(control) - kFirstControlId;
  if (number < 0 || number >= window::kControlCount) {
    return std::nullopt;
  }
  const auto id = static_cast<ControlId>(number);
  return Handle(id) == control ? std::optional(id) : std::nullopt;
}

void ControlSet::Focus(ControlId control) const {
  if (HWND target = Handle(control); target != nullptr) {
    ::SetFocus(target);
  }
}

void ControlSet::AppendItem(ControlId list, std::string_view text) {
  if (const auto& target = lists_[Index(list)]) {
    target->Append(text);
  }
}

void ControlSet::SelectItem(ControlId list, int index) {
  if (const auto& target = lists_[Index(list)]) {
    target->Select(index);
  }
}

int ControlSet::SelectedItem(ControlId list) const {
  const auto& target = lists_[Index(list)];
  return target ? target->Selected() : -1;
}

void ControlSet::OpenList(ControlId list) {
  if (const auto& target = lists_[Index(list)]) {
    target->Open();
  }
}

void ControlSet::HighlightItem(ControlId list, int index) {
  if (const auto& target = lists_[Index(list)]) {
    target->Highlight(index);
  }
}

void ControlSet::CloseList(ControlId list) {
  if (const auto& target = lists_[Index(list)]) {
    target->CloseUnchanged();
  }
}

bool ControlSet::ListOpen(ControlId list) const {
  const auto& target = lists_[Index(list)];
  return target && target->IsOpen();
}

int ControlSet::ItemCount(ControlId list) const {
  const auto& target = lists_[Index(list)];
  return target ? target->Count() : 0;
}

int ControlSet::CheckValue(ControlId check_box) const {
  const auto& target = check_boxes_[Index(check_box)];
  return target ? target->Value() : 0;
}

void ControlSet::SetCheckValue(ControlId check_box, int value) {
  if (const auto& target = check_boxes_[Index(check_box)]) {
    target->SetValue(value);
  }
}

COLORREF ControlSet::TextColour(ControlId label) const {
  const auto& target = labels_[Index(label)];
  return target ? target->Colour() : RGB(0, 0, 0);
}

void ControlSet::SetTextColour(ControlId label, COLORREF colour) {
  if (const auto& target = labels_[Index(label)]) {
    target->SetColour(colour);
  }
}

void ControlSet::MarkLabel(ControlId label, bool marked) {
  if (const auto& target = labels_[Index(label)]) {
    target->SetFocusMark(marked);
  }
}

bool ControlSet::LabelMarked(ControlId label) const {
  const auto& target = labels_[Index(label)];
  return target && target->FocusMark();
}

}  // namespace zephran::win32
