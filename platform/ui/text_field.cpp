#include "platform/ui/text_field.h"

#include <algorithm>
#include <cmath>

#include "platform/ui/canvas.h"

namespace ui {
namespace {

// Characters, not bytes: UTF-8 continuation bytes do not count.
size_t charCount(std::string_view s) {
  return static_cast<size_t>(std::count_if(
      s.begin(), s.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

// The first `n` characters of `s`.
std::string_view prefixChars(std::string_view s, size_t n) {
  size_t i = 0;
  size_t seen = 0;
  while (i < s.size()) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) {
      if (seen == n) break;
      ++seen;
    }
    ++i;
  }
  return s.substr(0, i);
}

void breakLong(std::string_view word, size_t maxChars, std::vector<std::string>& lines) {
  while (charCount(word) > maxChars) {
    const auto head = prefixChars(word, maxChars);
    lines.emplace_back(head);
    word.remove_prefix(head.size());
  }
  lines.emplace_back(word);
}

void wrapWords(std::string_view paragraph, size_t maxChars, std::vector<std::string>& lines) {
  std::string line;
  size_t lineChars = 0;
  auto startLine = [&](std::string_view word) {
    // A word longer than a line is broken; its last piece starts the line.
    while (charCount(word) > maxChars) {
      const auto head = prefixChars(word, maxChars);
      lines.emplace_back(head);
      word.remove_prefix(head.size());
    }
    line = std::string(word);
    lineChars = charCount(word);
  };
  bool first = true;
  while (!paragraph.empty()) {
    const auto space = paragraph.find(' ');
    const std::string_view word = paragraph.substr(0, space);
    paragraph = space == std::string_view::npos ? std::string_view{} : paragraph.substr(space + 1);
    if (word.empty()) continue;
    const size_t n = charCount(word);
    if (first) {
      startLine(word);
      first = false;
    } else if (lineChars + 1 + n <= maxChars) {
      line += ' ';
      line += word;
      lineChars += 1 + n;
    } else {
      lines.push_back(line);
      startLine(word);
    }
  }
  lines.push_back(line);
}

}  // namespace

std::shared_ptr<TextField> TextField::labelWithString(std::string text) {
  auto label = std::make_shared<TextField>(base::makeRect(0, 0, 0, 0));
  label->setStringValue(std::move(text));
  label->setEditable(false);
  label->setSelectable(false);
  label->setBordered(false);
  label->setDrawsBackground(false);
  label->background_ = Color::clearColor();
  const double chars = static_cast<double>(charCount(label->text_));
  label->setFrame(base::makeRect(0, 0, chars * label->fontSize_ / 2 + 4, label->fontSize_ * 1.25));
  return label;
}

std::shared_ptr<TextField> TextField::make(base::Rect frame) {
  return std::make_shared<TextField>(frame);
}

TextField::TextField(base::Rect frame) : Control(frame) {}

TextField::TextField(const base::Coder& coder) : Control(coder) {
  if (auto v = coder.decodeString("stringValue")) text_ = std::move(*v);
  if (auto v = coder.decodeString("placeholderString")) placeholder_ = std::move(*v);
  if (auto v = coder.decodeBool("editable")) editable_ = *v;
  if (auto v = coder.decodeBool("selectable")) selectable_ = *v;
  if (auto v = coder.decodeBool("bordered")) bordered_ = *v;
  if (auto v = coder.decodeBool("drawsBackground")) drawsBackground_ = *v;
  if (auto v = coder.decodeDouble("lineBreakMode"); v && *v >= 0 && *v <= 5) {
    lineBreakMode_ = static_cast<LineBreakMode>(static_cast<long>(*v));
  }
  if (auto v = coder.decodeDouble("fontSize"); v && *v > 0) fontSize_ = *v;
}

void TextField::setBackgroundColor(Color color) {
  background_ = color;
  drawsBackground_ = true;
}

std::vector<std::string> TextField::layoutLines(double width) const {
  const double advance = fontSize_ / 2;
  const size_t maxChars = std::max<size_t>(1, static_cast<size_t>(std::max(0.0, width / advance)));
  std::vector<std::string> lines;
  std::string_view rest(text_);
  for (;;) {
    const auto nl = rest.find('\n');
    const std::string_view paragraph = rest.substr(0, nl);
    switch (lineBreakMode_) {
      case LineBreakByWordWrapping:
        wrapWords(paragraph, maxChars, lines);
        break;
      case LineBreakByCharWrapping:
        breakLong(paragraph, maxChars, lines);
        break;
      default:
        lines.emplace_back(prefixChars(paragraph, maxChars));
        break;
    }
    if (nl == std::string_view::npos) break;
    rest.remove_prefix(nl + 1);
  }
  return lines;
}

std::optional<Pixels> TextField::snapshotPixels() {
  const int w = static_cast<int>(std::lround(frame().width()));
  const int h = static_cast<int>(std::lround(frame().height()));
  Pixels image = canvas::blank(w, h);
  if (image.empty()) return image;
  if (drawsBackground_) canvas::fillRect(image, 0, 0, w, h, background_);
  if (bordered_) canvas::strokeRect(image, 0, 0, w, h, Color{0.6, 0.6, 0.6, 1});
  const int inset = bordered_ ? 3 : 0;

  // Each word a stripe a little lower than the font size, line by line.
  TextField shown(frame());
  shown.lineBreakMode_ = lineBreakMode_;
  shown.fontSize_ = fontSize_;
  Color ink = textColor_;
  shown.text_ = text_;
  if (text_.empty() && placeholder_) {
    shown.text_ = *placeholder_;
    ink = Color{0.65, 0.65, 0.65, 1};
  }
  const double advance = fontSize_ / 2;
  const double lineHeight = fontSize_ * 1.25;
  const int bar = std::max(1, static_cast<int>(std::lround(fontSize_ * 0.55)));
  const auto lines = shown.layoutLines(w - 2 * inset);
  for (size_t i = 0; i < lines.size(); ++i) {
    const double top = inset + static_cast<double>(i) * lineHeight;
    if (top >= h - inset) break;
    const int y = static_cast<int>(std::lround(top + (lineHeight - bar) / 2));
    size_t col = 0;
    std::string_view line(lines[i]);
    while (!line.empty()) {
      const auto space = line.find(' ');
      const auto word = line.substr(0, space);
      const size_t n = charCount(word);
      if (n > 0) {
        canvas::fillRect(
            image, inset + static_cast<int>(std::lround(static_cast<double>(col) * advance)), y,
            static_cast<int>(std::lround(static_cast<double>(n) * advance)), bar, ink);
      }
      col += n + 1;
      if (space == std::string_view::npos) break;
      line.remove_prefix(space + 1);
    }
  }
  return image;
}

}  // namespace ui
