#pragma once

// Reading the WHATWG URL test data files that ship beside the project.

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace wpt {

inline std::string read_file(const std::string& name) {
  std::ifstream in(std::string(BRIDGE_TESTDATA) + "/url/" + name, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The test objects of a data file; the strings between them are comments.
inline std::vector<nlohmann::json> test_cases(const std::string& text) {
  std::vector<nlohmann::json> cases;
  for (nlohmann::json& element : nlohmann::json::parse(text)) {
    if (element.is_object()) cases.push_back(std::move(element));
  }
  return cases;
}

// The input as JSON with every non-ASCII character escaped, for messages.
inline std::string printable(const std::string& text) { return nlohmann::json(text).dump(-1, ' ', true); }

}  // namespace wpt
