// A window on the main screen.
//
// Windows keep the state the window server needs to show them (frame, level,
// alpha, shown or not, key) and a content view. Every live window is listed,
// in creation order, by Window::allWindows(): the application's window list.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/base/coder.h"
#include "platform/base/geometry.h"
#include "platform/base/object.h"
#include "platform/ui/color.h"
#include "platform/ui/view.h"

namespace ui {

class ViewController;

// What a window tells its delegate.
class WindowDelegate {
 public:
  virtual ~WindowDelegate() = default;
  // The window is about to close; `window` is the one closing.
  virtual void windowWillClose(const std::shared_ptr<base::Object>& window) = 0;
};

enum WindowCollectionBehavior : unsigned long {
  WindowCollectionBehaviorDefault = 0,
  WindowCollectionBehaviorCanJoinAllSpaces = 1,
};

// Window levels (the platform's ordering of window layers).
enum WindowLevel : long {
  NormalWindowLevel = 0,
  FloatingWindowLevel = 3,
  StatusWindowLevel = 25,
};

// The level of the screen-shielding window that covers the screen when it is
// captured; an overlay one above it draws over every ordinary window.
int32_t shieldingWindowLevel();

class Window : public base::Object {
 public:
  // Makes a window and adds it to the application's window list.
  static std::shared_ptr<Window> make(base::Rect frame);
  // From an interface file: "frame", "title", "opaque", "level", "alpha",
  // "hasShadow", "ignoresMouseEvents", "collectionBehavior",
  // "backgroundColor" [red, green, blue, alpha], "visible" (shown once the
  // file has been loaded), "center" (true: placed by center(), the frame
  // giving only the size).
  static std::shared_ptr<Window> make(const base::Coder& coder);
  ~Window() override;

  // Every live window, in the order they were made.
  static std::vector<std::shared_ptr<Window>> allWindows();

  [[nodiscard]] base::Rect frame() const { return frame_; }
  void setFrame(base::Rect frame, bool display);
  // Places the window in the middle of the main screen. On a screen smaller
  // than the window its top-left corner, where the title is, stays on the
  // screen.
  void center();

  [[nodiscard]] const std::string& title() const { return title_; }
  void setTitle(std::string title) { title_ = std::move(title); }

  [[nodiscard]] bool isVisible() const { return visible_; }
  [[nodiscard]] bool isKeyWindow() const { return key_; }
  void makeKeyAndOrderFront(const std::shared_ptr<base::Object>& sender);
  void orderOut(const std::shared_ptr<base::Object>& sender);
  // Closes as the close button would: the delegate hears windowWillClose,
  // then the window is ordered out.
  void close();
  void performClose(const std::shared_ptr<base::Object>& sender) {
    (void)sender;
    close();
  }

  [[nodiscard]] const std::shared_ptr<View>& contentView() const { return contentView_; }
  void setContentView(std::shared_ptr<View> view);
  [[nodiscard]] std::shared_ptr<ViewController> contentViewController() const {
    return contentViewController_;
  }
  void setContentViewController(std::shared_ptr<ViewController> controller);

  [[nodiscard]] double alphaValue() const { return alpha_; }
  void setAlphaValue(double alpha) { alpha_ = alpha; }
  [[nodiscard]] bool isOpaque() const { return opaque_; }
  void setOpaque(bool opaque) { opaque_ = opaque; }
  [[nodiscard]] bool hasShadow() const { return hasShadow_; }
  void setHasShadow(bool shadow) { hasShadow_ = shadow; }
  [[nodiscard]] unsigned long collectionBehavior() const { return collectionBehavior_; }
  void setCollectionBehavior(unsigned long behavior) { collectionBehavior_ = behavior; }
  [[nodiscard]] Color backgroundColor() const { return background_; }
  void setBackgroundColor(Color color) { background_ = color; }
  [[nodiscard]] bool ignoresMouseEvents() const { return ignoresMouse_; }
  void setIgnoresMouseEvents(bool ignores) { ignoresMouse_ = ignores; }
  [[nodiscard]] long level() const { return level_; }
  void setLevel(long level) { level_ = level; }

  [[nodiscard]] std::shared_ptr<WindowDelegate> delegate() const { return delegate_.lock(); }
  void setDelegate(const std::shared_ptr<WindowDelegate>& delegate) { delegate_ = delegate; }

  // Whether the interface file asks for the window to be shown once loaded.
  [[nodiscard]] bool isVisibleAtLaunch() const { return visibleAtLaunch_; }

  // Order in which the window was last brought to the front (higher is nearer).
  [[nodiscard]] uint64_t orderStamp() const { return orderStamp_; }

  // Outlet "delegate" takes a WindowDelegate (held weakly, as set in code).
  static const base::ClassTable kClassTable;
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  static const base::Outlet kOutlets[];

 protected:
  explicit Window(base::Rect frame);

 private:
  static void enlist(const std::shared_ptr<Window>& window);

  base::Rect frame_{};
  std::string title_;
  bool visible_ = false;
  bool key_ = false;
  std::shared_ptr<View> contentView_;
  std::shared_ptr<ViewController> contentViewController_;
  double alpha_ = 1.0;
  bool opaque_ = true;
  bool hasShadow_ = true;
  unsigned long collectionBehavior_ = WindowCollectionBehaviorDefault;
  Color background_ = Color{0.93, 0.93, 0.93, 1};
  bool ignoresMouse_ = false;
  long level_ = NormalWindowLevel;
  std::weak_ptr<WindowDelegate> delegate_;
  uint64_t orderStamp_ = 0;
  bool closing_ = false;
  bool visibleAtLaunch_ = false;
};

}  // namespace ui
