// Images by name: the platform's named system images and the PNG images of
// the application bundle.
//
// imageNamed() returns the same image object for the same name while the
// bundle is unchanged, as the platform caches named images; marking it a
// template (drawn from its alpha alone, tinted to fit the menu bar) therefore
// holds for every user of that name.
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/base/geometry.h"
#include "platform/base/object.h"
#include "platform/ui/pixels.h"

namespace ui {

// The named system images, drawn by the platform itself.
inline constexpr const char* ImageNameCaution = "NSCaution";
inline constexpr const char* ImageNameInfo = "NSInfo";
inline constexpr const char* ImageNameComputer = "NSComputer";

class Image : public base::Object {
 public:
  // A system image, else the bundle's resource NAME.png; none when neither
  // exists. A bundle file that cannot be read is reported on standard error
  // and gives none.
  static std::shared_ptr<Image> imageNamed(const std::string& name);

  // An image of `pixels`, one point per pixel.
  Image(Pixels pixels, std::string name);

  [[nodiscard]] const std::string& name() const { return name_; }
  [[nodiscard]] base::Size size() const { return size_; }
  [[nodiscard]] const Pixels& pixels() const { return pixels_; }

  [[nodiscard]] bool isTemplate() const { return template_; }
  void setTemplate(bool isTemplate) { template_ = isTemplate; }

  static constexpr base::ClassTable kClassTable{"NSImage", &base::Object::kClassTable};
  [[nodiscard]] const base::ClassTable& classTable() const override { return kClassTable; }

 private:
  Pixels pixels_;
  std::string name_;
  base::Size size_;
  bool template_ = false;
};

// The pixels of the system image `name`, or none for a name that is not one.
std::optional<Pixels> drawSystemImage(const std::string& name);

}  // namespace ui
