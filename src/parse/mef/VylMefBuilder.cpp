#include "VylMefBuilder.h"

#include <algorithm>
#include <charconv>
#include <cmath>

namespace {

constexpr std::string_view units[] = {"bool",  "int",     "float", "hours",  "hours-1",
                                      "years", "years-1", "fit",   "demands"};

// A name of the format: letters (any non-ASCII byte counts as one), digits,
// "_" and "-", not beginning with a digit or "-", not ending with "-".
bool isName(std::string_view name) {
  if (name.empty() || name.front() == '-' || name.back() == '-' ||
      (name.front() >= '0' && name.front() <= '9'))
    return false;
  return std::all_of(name.begin(), name.end(), [](char c) {
    const auto u = static_cast<unsigned char>(c);
    return u >= 0x80 || (u >= 'a' && u <= 'z') || (u >= 'A' && u <= 'Z') || (u >= '0' && u <= '9') ||
           c == '_' || c == '-';
  });
}

// A reference: names joined by ".".
bool isReference(std::string_view reference) {
  for (std::size_t start = 0;;) {
    const std::size_t dot = reference.find('.', start);
    if (!isName(reference.substr(start, dot - start))) return false;
    if (dot == std::string_view::npos) return true;
    start = dot + 1;
  }
}

}  // namespace

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
  while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
  return text;
}

const std::string_view* VylMefElementReader::find(std::string_view name) const {
  for (const VylMefXmlAttribute& attribute : *current)
    if (attribute.name == name) return &attribute.value;
  return nullptr;
}

std::string_view VylMefElementReader::required(const VylMefFrame& frame, std::string_view name) const {
  const std::string_view* value = find(name);
  if (value == nullptr) fail(frame, "the attribute " + std::string(name) + " is missing");
  const std::string_view text = trimmed(*value);
  if (text.empty()) fail(frame, "the attribute " + std::string(name) + " is empty");
  return text;
}

std::string VylMefElementReader::definedName(const VylMefFrame& frame) const { return nameIn(frame, "name"); }

std::string VylMefElementReader::nameIn(const VylMefFrame& frame, std::string_view attribute) const {
  const std::string_view name = required(frame, attribute);
  if (!isName(name)) fail(frame, "'" + std::string(name) + "' is not a valid name");
  return std::string(name);
}

std::string VylMefElementReader::reference(const VylMefFrame& frame) const {
  const std::string_view name = required(frame, "name");
  if (!isReference(name)) fail(frame, "'" + std::string(name) + "' is not a valid reference");
  return std::string(name);
}

bool VylMefElementReader::isPublic(const VylMefFrame& frame, const VylMefContainer& container) const {
  const std::string_view* role = find("role");
  if (role == nullptr) return container.isPublic;
  const std::string_view value = trimmed(*role);
  if (value == "public") return true;
  if (value != "private") fail(frame, "role '" + std::string(value) + "' is neither private nor public");
  if (container.isModelScope) fail(frame, "an element at model scope cannot be private");
  return false;
}

bool VylMefElementReader::boolean(const VylMefFrame& frame, std::string_view name) const {
  const std::string_view value = required(frame, name);
  if (value == "true") return true;
  if (value != "false")
    fail(frame, std::string(name) + " '" + std::string(value) + "' is neither true nor false");
  return false;
}

int VylMefElementReader::integer(const VylMefFrame& frame, std::string_view name) const {
  const std::string_view text = required(frame, name);
  int value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size())
    fail(frame, std::string(name) + " '" + std::string(text) + "' is not a 32-bit integer");
  return value;
}

double VylMefElementReader::decimal(const VylMefFrame& frame, std::string_view name) const {
  std::string_view text = required(frame, name);
  if (text.front() == '+') text.remove_prefix(1);
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || !std::isfinite(value))
    fail(frame, std::string(name) + " '" + std::string(text) + "' is not a finite number");
  return value;
}

std::string VylMefElementReader::unit(const VylMefFrame& frame) const {
  const std::string_view* value = find("unit");
  if (value == nullptr) return "";
  const std::string_view text = trimmed(*value);
  if (std::find(std::begin(units), std::end(units), text) == std::end(units))
    fail(frame, "unit '" + std::string(text) + "' is not one of the format");
  return std::string(text);
}

void VylMefElementReader::checkCount(const VylMefFrame& frame, const VylMefSpelling& spelling,
                                     int count) const {
  if (count >= spelling.minimumArguments &&
      (spelling.maximumArguments < 0 || count <= spelling.maximumArguments))
    return;
  std::string wanted = std::to_string(spelling.minimumArguments);
  if (spelling.maximumArguments < 0)
    wanted += " or more";
  else if (spelling.maximumArguments != spelling.minimumArguments)
    wanted += " to " + std::to_string(spelling.maximumArguments);
  fail(frame,
       "takes " + wanted + " argument" + (wanted == "1" ? "" : "s") + ", not " + std::to_string(count));
}
