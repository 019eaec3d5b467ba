#include "win32/accessibility.h"

#include <ole2.h>
#include <oleacc.h>

#include <optional>
#include <string>
#include <string_view>
#include <utility>

#include "platform/windows_system_library.h"
#include "platform/windows_text.h"
#include "win32/list_items.h"

namespace zephran::win32 {

using platform::LoadSystemFunction;
using platform::StartCom;
using platform::SystemLibrary;

namespace {

using window::ControlDescription;
using window::ControlKind;
using window::LabelRole;

// Where a control keeps its attachment.
constexpr wchar_t kAttachmentProperty[] = L"Zephran.Accessibility";

bool IsSelf(const VARIANT& child) {
  return child.vt == VT_I4 && child.lVal == CHILDID_SELF;
}

// The calls into Active Accessibility, from libraries loaded the first time
// a screen reader asks rather than with the program: most runs never need
// them, and under Wine loading them delays the window.
struct OleCalls {
  decltype(&::CreateStdAccessibleObject) create_std_accessible_object = nullptr;
  decltype(&::LresultFromObject) lresult_from_object = nullptr;
  decltype(&::SysAllocStringLen) sys_alloc_string_len = nullptr;
};

std::optional<OleCalls> LoadOleCalls() {
  // Marshalling an answer needs COM on the window's thread.
  if (!StartCom()) {
    return std::nullopt;
  }
  OleCalls calls;
  calls.create_std_accessible_object =
      LoadSystemFunction<decltype(calls.create_std_accessible_object)>(
          SystemLibrary::kAccessibility, "CreateStdAccessibleObject");
  calls.lresult_from_object = LoadSystemFunction<decltype(calls.lresult_from_object)>(
      SystemLibrary::kAccessibility, "LresultFromObject");
  calls.sys_alloc_string_len = LoadSystemFunction<decltype(calls.sys_alloc_string_len)>(
      SystemLibrary::kAutomation, "SysAllocStringLen");
  if (calls.create_std_accessible_object == nullptr || calls.lresult_from_object == nullptr ||
      calls.sys_alloc_string_len == nullptr) {
    return std::nullopt;
  }
  return calls;
}

// Looked up once, the first time a screen reader asks.
const std::optional<OleCalls>& Ole() {
  static const std::optional<OleCalls> calls = LoadOleCalls();
  return calls;
}

HRESULT Number(long value, VARIANT* result) {
  if (result == nullptr) {
    return E_INVALIDARG;
  }
  result->vt = VT_I4;
  result->lVal = value;
  return S_OK;
}

// The system's accessible object for the control, with what the description
// says put over it. Only the control itself is answered here; its parts (a
// list's items) are the system's.
class ControlAccessible final : public IAccessible {
 public:
  ControlAccessible(const OleCalls& ole, IAccessible* system, HWND control, window::ControlId id,
                    CheckValueReader check_values)
      : ole_(ole),
        system_(system),
        control_(control),
        description_(window::Describe(id)),
        check_values_(std::move(check_values)) {}
  ControlAccessible(const ControlAccessible&) = delete;
  ControlAccessible& operator=(const ControlAccessible&) = delete;

  // IUnknown: one identity, this object.
  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (object == nullptr) {
      return E_POINTER;
    }
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
      *object = static_cast<IAccessible*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(++references_); }
  ULONG STDMETHODCALLTYPE Release() override {
    const long left = --references_;
    if (left == 0) {
      delete this;
    }
    return static_cast<ULONG>(left);
  }

  // IDispatch: late-bound callers are not served; screen readers call the
  // interface directly.
  HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
    if (count == nullptr) {
      return E_INVALIDARG;
    }
    *count = 0;
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) override {
    return E_NOTIMPL;
  }
  HRESULT STDMETHODCALLTYPE Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*,
                                   UINT*) override {
    return E_NOTIMPL;
  }

  // What the description decides.
  HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override {
    if (!IsSelf(child)) {
      return system_->get_accName(child, name);
    }
    return Text(description_.accessible_name, name);
  }
  HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* text) override {
    if (!IsSelf(child)) {
      return system_->get_accDescription(child, text);
    }
    return Text(description_.tooltip, text);
  }
  HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override {
    if (!IsSelf(child)) {
      return system_->get_accRole(child, role);
    }
    return Number(Role(), role);
  }
  HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override {
    const HRESULT result = system_->get_accState(child, state);
    if (!IsSelf(child) || FAILED(result) || state == nullptr || state->vt != VT_I4) {
      return result;
    }
    if (description_.kind == ControlKind::kCheckBox && Checked()) {
      state->lVal |= STATE_SYSTEM_CHECKED;
    }
    if (description_.kind == ControlKind::kLabel) {
      // Not reachable with Tab, as drawn; pressed through the default action.
      state->lVal &= ~static_cast<long>(STATE_SYSTEM_FOCUSABLE);
      if (description_.label_role == LabelRole::kLink) {
        state->lVal |= STATE_SYSTEM_LINKED;
      } else if (description_.label_role == LabelRole::kText) {
        state->lVal |= STATE_SYSTEM_READONLY;
      }
    }
    return result;
  }
  HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override {
    if (!IsSelf(child) || description_.kind == ControlKind::kList) {
      return system_->get_accDefaultAction(child, action);
    }
    return Text(DefaultAction(), action);
  }
  HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override {
    if (!IsSelf(child) || description_.kind == ControlKind::kList) {
      return system_->accDoDefaultAction(child);
    }
    if (DefaultAction().empty()) {
      return DISP_E_MEMBERNOTFOUND;
    }
    // As the control's own click: the window's click notice.
    const int id = ::GetDlgCtrlID(control_);
    ::PostMessageW(::GetParent(control_), WM_COMMAND, MAKEWPARAM(static_cast<WORD>(id), BN_CLICKED),
                   reinterpret_cast<LPARAM>(control_));
    return S_OK;
  }

  // Everything else as the system answers it.
  HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override {
    return system_->get_accParent(parent);
  }
  HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override {
    return system_->get_accChildCount(count);
  }
  HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override {
    return system_->get_accChild(child, object);
  }
  HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override {
    if (!IsSelf(child) || description_.kind != ControlKind::kList) {
      return system_->get_accValue(child, value);
    }
    // The chosen item's words; none while nothing is chosen.
    return Wide(SelectedItemText(), value);
  }
  HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override {
    return system_->get_accHelp(child, help);
  }
  HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override {
    return system_->get_accHelpTopic(file, child, topic);
  }
  HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* keys) override {
    return system_->get_accKeyboardShortcut(child, keys);
  }
  HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* focus) override {
    return system_->get_accFocus(focus);
  }
  HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* selection) override {
    return system_->get_accSelection(selection);
  }
  HRESULT STDMETHODCALLTYPE accSelect(long how, VARIANT child) override {
    return system_->accSelect(how, child);
  }
  HRESULT STDMETHODCALLTYPE accLocation(long* left, long* top, long* width, long* height,
                                        VARIANT child) override {
    return system_->accLocation(left, top, width, height, child);
  }
  HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override {
    return system_->accNavigate(direction, start, end);
  }
  HRESULT STDMETHODCALLTYPE accHitTest(long x, long y, VARIANT* child) override {
    return system_->accHitTest(x, y, child);
  }
  HRESULT STDMETHODCALLTYPE put_accName(VARIANT, BSTR) override { return E_NOTIMPL; }
  HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override {
    return system_->put_accValue(child, value);
  }

 private:
  ~ControlAccessible() { system_->Release(); }

  // Some systems (Wine) call every control of ours a plain client area.
  long Role() const {
    switch (description_.kind) {
      case ControlKind::kList:
        return ROLE_SYSTEM_COMBOBOX;
      case ControlKind::kCheckBox:
        return ROLE_SYSTEM_CHECKBUTTON;
      case ControlKind::kLabel:
        break;
    }
    switch (description_.label_role) {
      case LabelRole::kButton:
        return ROLE_SYSTEM_PUSHBUTTON;
      case LabelRole::kLink:
        return ROLE_SYSTEM_LINK;
      case LabelRole::kText:
        break;
    }
    return ROLE_SYSTEM_STATICTEXT;
  }

  std::wstring SelectedItemText() const {
    return ItemText(control_, ::SendMessageW(control_, CB_GETCURSEL, 0, 0));
  }

  bool Checked() const { return check_values_ && check_values_(description_.id) == 1; }

  // The words Windows' own controls use; empty for plain text.
  std::string_view DefaultAction() const {
    if (description_.kind == ControlKind::kCheckBox) {
      return Checked() ? "Uncheck" : "Check";
    }
    switch (description_.label_role) {
      case LabelRole::kButton:
        return "Press";
      case LabelRole::kLink:
        return "Jump";
      case LabelRole::kText:
        break;
    }
    return {};
  }

  // Words for the caller to free; S_FALSE and none when there are none.
  HRESULT Wide(const std::wstring& text, BSTR* result) const {
    if (result == nullptr) {
      return E_INVALIDARG;
    }
    *result = nullptr;
    if (text.empty()) {
      return S_FALSE;
    }
    *result = ole_.sys_alloc_string_len(text.data(), static_cast<UINT>(text.size()));
    return *result != nullptr ? S_OK : E_OUTOFMEMORY;
  }

  HRESULT Text(std::string_view text, BSTR* result) const {
    return Wide(platform::Utf16FromUtf8(text), result);
  }

  const OleCalls ole_;
  IAccessible* const system_;
  const HWND control_;
  const ControlDescription& description_;
  const CheckValueReader check_values_;
  long references_ = 1;
};

struct Attachment {
  window::ControlId id = window::ControlId::ListCol;
  CheckValueReader check_values;
  WNDPROC previous = nullptr;  // the control's own procedure
};

LRESULT Answer(HWND control, WPARAM wparam, const Attachment& attachment) {
  const std::optional<OleCalls>& ole = Ole();
  if (!ole) {
    return 0;  // the system's own answer, without ours over it
  }
  IAccessible* system = nullptr;
  if (FAILED(ole->create_std_accessible_object(control, OBJID_CLIENT, __uuidof(IAccessible),
                                               reinterpret_cast<void**>(&system)))) {
    return 0;
  }
  auto* answer =
      new ControlAccessible(*ole, system, control, attachment.id, attachment.check_values);
  const LRESULT result = ole->lresult_from_object(__uuidof(IAccessible), wparam, answer);
  answer->Release();  // the result holds its own reference
  // A reference is positive; a failure (a COM error) leaves the system's answer.
  return result > 0 ? result : 0;
}

// Put in front of the control's own procedure by replacing it, which user32
// alone can do: the common controls' subclassing would load comctl32 with
// the program.
LRESULT CALLBACK ControlProc(HWND control, UINT message, WPARAM wparam, LPARAM lparam) {
  auto* attachment = static_cast<Attachment*>(::GetPropW(control, kAttachmentProperty));
  if (attachment == nullptr) {
    return ::DefWindowProcW(control, message, wparam, lparam);  // never: set before the procedure
  }
  if (message == WM_GETOBJECT && static_cast<LONG>(lparam) == static_cast<LONG>(OBJID_CLIENT)) {
    if (const LRESULT answer = Answer(control, wparam, *attachment); answer != 0) {
      return answer;
    }
  }
  const WNDPROC previous = attachment->previous;
  if (message == WM_NCDESTROY) {
    // The control's last message: its procedure is not put back, since a
    // later subclass (the tooltip's) may lie in front of ours.
    ::RemovePropW(control, kAttachmentProperty);
    delete attachment;
  }
  return ::CallWindowProcW(previous, control, message, wparam, lparam);
}

}  // namespace

void AttachAccessibility(HWND control, window::ControlId id, CheckValueReader check_values) {
  auto* attachment = new Attachment{id, std::move(check_values), nullptr};
  attachment->previous = reinterpret_cast<WNDPROC>(::GetWindowLongPtrW(control, GWLP_WNDPROC));
  if (attachment->previous == nullptr ||
      ::SetPropW(control, kAttachmentProperty, attachment) == FALSE) {
    delete attachment;
    return;
  }
  ::SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlProc));
}

}  // namespace zephran::win32
