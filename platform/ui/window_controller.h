// A controller that owns one window, possibly loaded from a window interface
// file.
//
// A controller made with a file name loads the file the first time its window
// is asked for, as the file's owner: the file's outlets on "owner" are set on
// the controller through setValueForKey (its window through the key "window")
// and its actions on "owner" are sent to the controller. The controller keeps
// the file's top-level objects for as long as it lives. It must be owned by a
// shared pointer before its window is first asked for.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/coder.h"
#include "platform/base/object.h"
#include "platform/ui/window.h"

namespace ui {

class WindowController : public base::Object {
 public:
  WindowController() = default;
  // initWithWindow:
  explicit WindowController(std::shared_ptr<Window> window);
  // initWithCoder: (from an interface file; attribute "windowNibName").
  explicit WindowController(const base::Coder& coder);

  // initWithWindowNibName: in two steps: set the file's name, then ask for the
  // window (the owner has to exist as a shared object first).
  void setWindowNibName(std::string name) { nibName_ = std::move(name); }
  [[nodiscard]] const std::optional<std::string>& windowNibName() const { return nibName_; }

  // The window; the first call loads the window interface file when there is
  // one. A file that cannot be loaded is reported on standard error once and
  // gives no window.
  std::shared_ptr<Window> window();
  void setWindow(std::shared_ptr<Window> window);
  [[nodiscard]] bool isWindowLoaded() const { return window_ != nullptr; }

  // Runs after the window interface file has been loaded.
  virtual void windowDidLoad() {}

  // Shows the window in front and makes it key.
  void showWindow(const std::shared_ptr<base::Object>& sender);
  // Closes the window as its close button would: its delegate hears
  // windowWillClose first.
  void close();

  // "showWindow:" and "close:"; outlet "window".
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Action kActions[];
  static const base::Outlet kOutlets[];
  void loadWindow();

  std::shared_ptr<Window> window_;
  std::optional<std::string> nibName_;
  bool loadTried_ = false;
  std::vector<std::shared_ptr<base::Object>> topLevelObjects_;
};

}  // namespace ui
