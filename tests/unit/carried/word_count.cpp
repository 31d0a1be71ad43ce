// A small program of our own, compiled for the shipped target and packed as a release input is
// (pack.py --x86): real compiled code for the carried-block tests to decode. Never run.
// Counts the words of its arguments and prints them, most frequent first.
#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

int main(int argc, char** argv) {
  std::map<std::string, int> counts;
  for (int i = 1; i < argc; ++i) ++counts[argv[i]];
  std::vector<std::pair<int, std::string>> byCount;
  for (const auto& c : counts) byCount.push_back({-c.second, c.first});
  std::sort(byCount.begin(), byCount.end());
  for (const auto& e : byCount) std::printf("%d %s\n", -e.first, e.second.c_str());
  return 0;
}
