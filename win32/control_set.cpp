#include "win32/control_set.h"

#include <tuple>

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

void ControlSet::Create(HWND parent, const Scale& scale) {
  parent_ = parent;
  scale_ = scale;
  std::tie(scaled_off_, scaled_on_) = ScaledPictures(scale);
  const int list_item_height = DropDownList::ItemHeight(parent, fonts_, scale_);
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
  const RECT box = scale_.Of(control.box);
  switch (control.kind) {
    case ControlKind::kList:
      lists_[at] = std::make_unique<DropDownList>(instance_, parent, id, control, fonts_, scale_,
                                                  list_item_height, cues_);
      return;
    case ControlKind::kCheckBox:
      check_boxes_[at] =
          std::make_unique<PictureCheckBox>(instance_, parent, id, control, box, Pictures(), cues_);
      return;
    case ControlKind::kLabel:
      labels_[at] = std::make_unique<TextLabel>(instance_, parent, id, control, scale_,
                                                fonts_.Face(control.font, scale_),
                                                fonts_.TextShift(control.font), label_host_);
      return;
  }
}

void ControlSet::Rescale(const Scale& scale) {
  if (parent_ == nullptr || scale == scale_) {
    return;
  }
  // Everything made before any control moves, so that a failure leaves
  // them all as they were; the pictures shown so far stay until every box
  // has the new ones.
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    if (control.kind != ControlKind::kCheckBox) {
      fonts_.Face(control.font, scale);
    }
  }
  const int list_item_height = DropDownList::ItemHeight(parent_, fonts_, scale);
  std::pair<Bitmap, Bitmap> pictures = ScaledPictures(scale);
  std::swap(scaled_off_, pictures.first);
  std::swap(scaled_on_, pictures.second);
  scale_ = scale;
  for (const ControlDescription& control : window::MainPageDescription().controls) {
    const std::size_t at = Index(control.id);
    const RECT box = scale_.Of(control.box);
    if (lists_[at]) {
      lists_[at]->Place(scale_, list_item_height);
    } else if (check_boxes_[at]) {
      check_boxes_[at]->Place(box, Pictures());
    } else if (labels_[at]) {
      labels_[at]->Place(scale_, fonts_.Face(control.font, scale_));
    }
  }
}

std::pair<Bitmap, Bitmap> ControlSet::ScaledPictures(const Scale& scale) const {
  if (scale == Scale()) {
    return {};
  }
  Bitmap off = ScaledPicture(check_off_.Get(), scale);
  return {std::move(off), ScaledPicture(check_on_.Get(), scale)};
}

CheckPictures ControlSet::Pictures() const {
  if (scaled_off_.Get() != nullptr && scaled_on_.Get() != nullptr) {
    return {scaled_off_.Get(), scaled_on_.Get(), scale_.Px(1)};
  }
  return {check_off_.Get(), check_on_.Get(), 1};
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

void ControlSet::DrawLabelsBelow(ControlId label, HDC target, const RECT& area) const {
  for (const ControlId below : window::MainPageDescription().bottom_to_top) {
    if (below == label) {
      return;
    }
    const auto& other = labels_[Index(below)];
    RECT box = scale_.Of(window::Describe(below).box);
    RECT shared{};
    if (other && ::IntersectRect(&shared, &box, &area) != FALSE) {
      other->DrawWords(target, {box.left - area.left, box.top - area.top});
    }
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
