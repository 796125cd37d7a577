#include "platform/ui/interface_file.h"

#include <nlohmann/json.hpp>

#include <set>

#include "platform/base/bundle.h"
#include "platform/base/file.h"
#include "platform/base/log.h"
#include "platform/ui/button.h"
#include "platform/ui/control.h"
#include "platform/ui/text_field.h"
#include "platform/ui/view.h"
#include "platform/ui/view_controller.h"
#include "platform/ui/window.h"
#include "platform/ui/window_controller.h"

namespace ui {

using nlohmann::json;

ClassRegistry::ClassRegistry() {
  registerClass("NSObject", [](const base::Coder&) { return std::make_shared<base::Object>(); });
  registerClass<View>();
  registerClass<Control>();
  registerClass<Button>();
  registerClass<TextField>();
  registerClass<Window>([](const base::Coder& c) { return Window::make(c); });
  registerClass<ViewController>();
  registerClass<WindowController>();
}

ClassRegistry& ClassRegistry::shared() {
  static ClassRegistry registry;
  return registry;
}

void ClassRegistry::registerClass(const std::string& name, ObjectFactory factory) {
  factories_[name] = std::move(factory);
}

bool ClassRegistry::contains(const std::string& name) const { return factories_.contains(name); }

std::shared_ptr<base::Object> ClassRegistry::instantiate(const std::string& name,
                                                         const base::Coder& coder) const {
  auto it = factories_.find(name);
  if (it == factories_.end() || !it->second) return nullptr;
  return it->second(coder);
}

std::shared_ptr<base::Object> InterfaceObjects::object(std::string_view id) const {
  auto it = objectsById.find(id);
  return it == objectsById.end() ? nullptr : it->second;
}

namespace {

constexpr std::string_view kOwner = "owner";

std::string cat(std::initializer_list<std::string_view> parts) {
  std::string out;
  for (const auto part : parts) out.append(part);
  return out;
}

// A reference to an object: an id, or an object written in place.
struct Ref {
  std::string id;                        // when written by id
  std::shared_ptr<base::Object> object;  // resolved
  std::string what;                      // for error texts
};

struct Link {
  std::shared_ptr<base::Object> from;
  std::string fromName;
  std::string kind;  // "subviews", "contentView", "contentViewController"
  Ref to;
};

struct Outlet {
  std::shared_ptr<base::Object> from;
  bool fromOwner = false;
  std::string key;
  std::shared_ptr<base::Object> to;
  std::string text;
};

struct Action {
  std::shared_ptr<Control> control;
  std::string selector;
  std::shared_ptr<base::Object> target;
};

class Loader {
 public:
  Loader(std::shared_ptr<base::Object> owner, std::string source)
      : owner_(std::move(owner)), source_(std::move(source)) {}

  base::Result<InterfaceObjects> load(std::string_view text) {
    const json doc = json::parse(text, nullptr, /*allow_exceptions=*/false);
    if (doc.is_discarded()) return fail("it is not valid JSON");
    if (!doc.is_object()) return fail("it is not a JSON object");
    for (const auto& [key, value] : doc.items()) {
      if (key != "objects" && key != "outlets" && key != "actions") {
        return fail("unknown section \"" + key + "\"");
      }
    }
    const json& objects = section(doc, "objects");
    if (!error_.empty()) return fail(error_);
    for (const auto& entry : objects) {
      auto object = create(entry, "top-level object");
      if (!object) return fail(error_);
      out_.topLevelObjects.push_back(object);
    }
    if (!resolveLinks() || !readOutlets(section(doc, "outlets")) ||
        !readActions(section(doc, "actions")) || !error_.empty()) {
      return fail(error_);
    }
    buildTrees();
    if (!connectOutlets()) return fail(error_);
    for (const auto& a : actions_) {
      a.control->setTarget(a.target);
      a.control->setAction(a.selector);
    }
    // Last, so that each controller's viewDidLoad sees everything connected;
    // windows shown at launch come up with their content in place.
    for (const auto& [window, controller] : contentControllers_) {
      window->setContentViewController(controller);
    }
    for (const auto& window : windows_) {
      if (window->isVisibleAtLaunch()) window->makeKeyAndOrderFront(nullptr);
    }
    return std::move(out_);
  }

 private:
  [[nodiscard]] base::Error fail(const std::string& why) const {
    return base::fail("interface file " + source_ + ": " + why);
  }

  bool setError(std::string why) {
    if (error_.empty()) error_ = std::move(why);
    return false;
  }

  const json& section(const json& doc, const char* name) {
    static const json empty = json::array();
    auto it = doc.find(name);
    if (it == doc.end()) return empty;
    if (!it->is_array()) {
      setError(std::string("\"") + name + "\" must be a list");
      return empty;
    }
    return *it;
  }

  std::shared_ptr<base::Object> create(const json& entry, const std::string& where) {
    if (!entry.is_object()) {
      setError(where + " must be an object written as {\"class\": ...}");
      return nullptr;
    }
    auto cls = entry.find("class");
    if (cls == entry.end() || !cls->is_string()) {
      setError(where + " has no \"class\"");
      return nullptr;
    }
    const std::string className = cls->get<std::string>();
    std::string id;
    if (auto it = entry.find("id"); it != entry.end()) {
      if (!it->is_string() || it->get<std::string>().empty()) {
        setError(where + " of class " + className + ": \"id\" must be a non-empty text");
        return nullptr;
      }
      id = it->get<std::string>();
      if (id == kOwner || out_.objectsById.contains(id)) {
        setError("the id \"" + id + "\" is used twice (\"owner\" names the file's owner)");
        return nullptr;
      }
    }
    const std::string name = id.empty() ? "an object of class " + className : "\"" + id + "\"";
    for (const auto& [key, value] : entry.items()) {
      static const std::set<std::string, std::less<>> known = {
          "class", "id", "attributes", "subviews", "contentView", "contentViewController"};
      if (!known.contains(key)) {
        setError(cat({name, ": unknown entry \"", key, "\""}));
        return nullptr;
      }
    }
    json attributes = json::object();
    if (auto it = entry.find("attributes"); it != entry.end()) {
      if (!it->is_object()) {
        setError(name + ": \"attributes\" must be an object");
        return nullptr;
      }
      attributes = *it;
    }
    if (!ClassRegistry::shared().contains(className)) {
      setError(name + ": unknown class \"" + className + "\"");
      return nullptr;
    }
    auto object = ClassRegistry::shared().instantiate(className, base::Coder(attributes));
    if (!object) {
      setError(name + ": the class \"" + className + "\" made no object");
      return nullptr;
    }
    if (!id.empty()) out_.objectsById[id] = object;
    if (auto window = std::dynamic_pointer_cast<Window>(object)) windows_.push_back(window);

    if (auto it = entry.find("subviews"); it != entry.end()) {
      if (!it->is_array()) {
        setError(name + ": \"subviews\" must be a list");
        return nullptr;
      }
      for (const auto& sub : *it) {
        if (!addLink(object, name, "subviews", sub)) return nullptr;
      }
    }
    for (const char* kind : {"contentView", "contentViewController"}) {
      if (auto it = entry.find(kind); it != entry.end()) {
        if (!addLink(object, name, kind, *it)) return nullptr;
      }
    }
    return object;
  }

  bool addLink(const std::shared_ptr<base::Object>& from, const std::string& fromName,
               const std::string& kind, const json& to) {
    Link link{from, fromName, kind, Ref{}};
    if (to.is_string()) {
      link.to.id = to.get<std::string>();
      link.to.what = "\"" + link.to.id + "\"";
    } else {
      link.to.object = create(to, fromName + "'s " + kind + " entry");
      if (!link.to.object) return false;
      link.to.what = "an object of class " + link.to.object->className();
    }
    links_.push_back(std::move(link));
    return true;
  }

  std::shared_ptr<base::Object> lookup(const std::string& id, const std::string& context) {
    if (id == kOwner) {
      if (!owner_) setError(context + " names the owner, but the file was loaded without one");
      return owner_;
    }
    auto object = out_.object(id);
    if (!object) setError(context + " names \"" + id + "\", which the file does not define");
    return object;
  }

  // Checks every structural link before anything is put together.
  bool resolveLinks() {
    std::map<const base::Object*, const base::Object*> parentOf;
    for (auto& link : links_) {
      const std::string context = link.fromName + "'s " + link.kind;
      if (!link.to.object) {
        if (link.to.id == kOwner) return setError(context + " cannot be the owner");
        link.to.object = lookup(link.to.id, context);
        if (!link.to.object) return false;
      }
      if (link.kind == "subviews") {
        auto parent = std::dynamic_pointer_cast<View>(link.from);
        auto child = std::dynamic_pointer_cast<View>(link.to.object);
        if (!parent) return setError(link.fromName + " is not a view and cannot have subviews");
        if (!child) return setError(context + ": " + link.to.what + " is not a view");
        if (!parentOf.emplace(child.get(), parent.get()).second) {
          return setError(link.to.what + " is placed in two views");
        }
        subviewLinks_.emplace_back(parent, child);
        continue;
      }
      auto window = std::dynamic_pointer_cast<Window>(link.from);
      if (!window) return setError(link.fromName + " is not a window and has no " + link.kind);
      if (link.kind == "contentView") {
        auto view = std::dynamic_pointer_cast<View>(link.to.object);
        if (!view) return setError(context + ": " + link.to.what + " is not a view");
        contentViews_.emplace_back(window, view);
      } else {
        auto controller = std::dynamic_pointer_cast<ViewController>(link.to.object);
        if (!controller) {
          return setError(context + ": " + link.to.what + " is not a view controller");
        }
        contentControllers_.emplace_back(window, controller);
      }
    }
    std::set<const Window*> windowsWithContent;
    for (const auto& [window, view] : contentViews_) {
      windowsWithContent.insert(window.get());
      if (parentOf.contains(view.get())) {
        return setError("a window's content view is also placed in another view");
      }
    }
    for (const auto& [window, controller] : contentControllers_) {
      if (!windowsWithContent.insert(window.get()).second) {
        return setError("a window has both a content view and a content view controller");
      }
    }
    // A view may not end up inside itself.
    for (const auto& [child, parent] : parentOf) {
      const base::Object* up = parent;
      for (size_t steps = 0; up != nullptr && steps <= parentOf.size(); ++steps) {
        if (up == child) return setError("a view is placed inside itself");
        auto it = parentOf.find(up);
        up = it == parentOf.end() ? nullptr : it->second;
      }
    }
    return true;
  }

  bool readOutlets(const json& list) {
    for (const auto& entry : list) {
      if (!entry.is_object() || !entry.contains("from") || !entry.contains("key") ||
          !entry.contains("to") || !entry["from"].is_string() || !entry["key"].is_string() ||
          !entry["to"].is_string() || entry.size() != 3) {
        return setError("an outlet must be {\"from\": id, \"key\": name, \"to\": id}, not " +
                        entry.dump());
      }
      Outlet outlet;
      outlet.key = entry["key"].get<std::string>();
      const auto from = entry["from"].get<std::string>();
      const auto to = entry["to"].get<std::string>();
      outlet.text = cat({"the outlet \"", outlet.key, "\" from \"", from, "\" to \"", to, "\""});
      outlet.fromOwner = from == kOwner;
      outlet.from = lookup(from, outlet.text);
      outlet.to = lookup(to, outlet.text);
      if (!outlet.from || !outlet.to) return false;
      outlets_.push_back(std::move(outlet));
    }
    return true;
  }

  bool readActions(const json& list) {
    for (const auto& entry : list) {
      if (!entry.is_object() || !entry.contains("control") || !entry.contains("action") ||
          !entry.contains("target") || !entry["control"].is_string() ||
          !entry["action"].is_string() || !entry["target"].is_string() || entry.size() != 3) {
        return setError(
            "an action must be {\"control\": id, \"action\": \"name:\", \"target\": id}, not " +
            entry.dump());
      }
      const auto id = entry["control"].get<std::string>();
      const auto selector = entry["action"].get<std::string>();
      const std::string context = cat({"the action \"", selector, "\" of \"", id, "\""});
      if (selector.empty()) return setError(context + " has no selector");
      auto object = lookup(id, context);
      if (!object) return false;
      auto control = std::dynamic_pointer_cast<Control>(object);
      if (!control) return setError(cat({context, ": \"", id, "\" is not a control"}));
      auto target = lookup(entry["target"].get<std::string>(), context);
      if (!target) return false;
      actions_.push_back(Action{control, selector, target});
    }
    return true;
  }

  void buildTrees() {
    for (const auto& [parent, child] : subviewLinks_) parent->addSubview(child);
    for (const auto& [window, view] : contentViews_) window->setContentView(view);
  }

  // The file's own objects first, the owner last; if the owner refuses a key,
  // the owner's outlets set so far are cleared again so that it keeps nothing
  // of a refused file.
  bool connectOutlets() {
    std::vector<const Outlet*> ordered;
    for (const auto& o : outlets_) {
      if (!o.fromOwner) ordered.push_back(&o);
    }
    for (const auto& o : outlets_) {
      if (o.fromOwner) ordered.push_back(&o);
    }
    std::vector<std::string> ownerKeys;
    for (const Outlet* o : ordered) {
      if (!o->from->setValueForKey(o->key, o->to)) {
        for (const auto& key : ownerKeys) owner_->setValueForKey(key, nullptr);
        return setError(o->text + " is refused: " + o->from->className() +
                        " has no outlet of that name for " + o->to->className());
      }
      if (o->fromOwner) ownerKeys.push_back(o->key);
    }
    return true;
  }

  std::shared_ptr<base::Object> owner_;
  std::string source_;
  std::string error_;
  InterfaceObjects out_;
  std::vector<Link> links_;
  std::vector<std::pair<std::shared_ptr<View>, std::shared_ptr<View>>> subviewLinks_;
  std::vector<std::pair<std::shared_ptr<Window>, std::shared_ptr<View>>> contentViews_;
  std::vector<std::pair<std::shared_ptr<Window>, std::shared_ptr<ViewController>>>
      contentControllers_;
  std::vector<Outlet> outlets_;
  std::vector<Action> actions_;
  std::vector<std::shared_ptr<Window>> windows_;
};

}  // namespace

base::Result<InterfaceObjects> loadInterfaceText(std::string_view text,
                                                 const std::shared_ptr<base::Object>& owner,
                                                 const std::string& source) {
  return Loader(owner, source).load(text);
}

namespace {

base::Result<InterfaceObjects> loadResource(const std::string& name,
                                            const std::shared_ptr<base::Object>& owner) {
  const auto& bundle = base::Bundle::main();
  auto path = bundle.pathForResource(name, "json");
  if (!path) {
    return base::fail("interface file " + name + ": the bundle (" + bundle.resourcePath() +
                      ") has no resource " + name + ".json");
  }
  const auto text = base::readFile(*path);
  if (!text) return base::fail("interface file " + name + ": cannot read " + *path);
  return loadInterfaceText(*text, owner, name);
}

}  // namespace

base::Result<InterfaceObjects> loadInterfaceFile(const std::string& name,
                                                 const std::shared_ptr<base::Object>& owner) {
  auto result = loadResource(name, owner);
  if (!result) base::printError(result.error().message);
  return result;
}

}  // namespace ui
