// The command line: what each switch does, the output name and rate it
// gives, and the errors of a command line that makes no sense.
#include <gtest/gtest.h>

#include <iterator>
#include <sstream>

#include "driver/options.hpp"
#include "format/failure.hpp"
#include "support/harness.hpp"

namespace {

using namespace driver;

// The options a command line gives, or its error text; then any text it
// shows past the banner.
std::string parse(std::vector<std::string> args) {
  args.insert(args.begin(), "reelwright");
  std::vector<char *> argv;
  for (auto &a : args) argv.push_back(a.data());
  char *text = nullptr;
  size_t size = 0;
  FILE *out = open_memstream(&text, &size);
  Console console(out, stdin);
  std::string got;
  try {
    auto o = ParseCommandLine(static_cast<int>(argv.size()), argv.data(), console);
    if (!o) got = "done";
    else
      got = std::to_string(static_cast<int>(o->mode)) + " " + std::to_string(static_cast<int>(o->output)) + " " +
            std::to_string(o->freq) + " " + o->output_name + " " + std::to_string(o->starting) + " " +
            std::to_string(o->ending) + (o->pages ? " p" : "") + (o->expand ? " x" : "") + (o->mode128 ? " 128" : "") +
            (o->timing.exact ? " exact" : "") + (o->signal.invert ? " invert" : "") + (o->signal.wide ? " 16" : "") +
            (o->timing.speed != 100 ? " speed" + std::to_string(o->timing.speed) : "") +
            (o->signal.volume ? " vol" + std::to_string(o->signal.volume) : "");
  } catch (const format::Failure &f) {
    got = f.what();
  }
  std::fclose(out);
  std::string shown(text, size);
  std::free(text);
  shown.erase(0, shown.starts_with(harness::kBanner) ? harness::kBanner.size() : 0);
  if (shown.starts_with("\nUsage: reelwright")) shown = "usage";
  if (!shown.empty()) got.append(" | ").append(shown);
  return got;
}

TEST(CommandLine, SwitchesNamesAndRates) {
  // Each line of the data file: arguments => what they give.
  std::istringstream table(harness::read_file(std::string(REELWRIGHT_SOURCE_DIR) + "/tests/data/command-lines.txt"));
  int rows = 0;
  for (std::string line; std::getline(table, line);) {
    if (line.empty() || line[0] == '#') continue;
    const size_t arrow = line.find(" => ");
    std::istringstream words(line.substr(0, arrow));
    std::vector<std::string> args{std::istream_iterator<std::string>(words), {}};
    std::string want;
    for (size_t i = arrow + 4; i < line.size(); i++) want += line.compare(i, 2, "\\n") == 0 ? (i++, '\n') : line[i];
    EXPECT_EQ(parse(args), want) << line;
    rows++;
  }
  EXPECT_GE(rows, 30);
}

}  // namespace
