#include "driver/run.hpp"

#include <new>

#include "driver/contents.hpp"
#include "driver/record.hpp"
#include "format/failure.hpp"

namespace driver {

int RunReelwright(int argc, char **argv, Console &console, const Limits &limits) {
  std::optional<Options> opt;
  std::optional<Session> session;
  std::string error;
  try {
    opt = ParseCommandLine(argc, argv, console);
    if (opt && opt->record) {
      sinks::LineInput input;
      Record(*opt, console, input);
    } else if (opt && opt->mode == Mode::contents) {
      session.emplace(*opt, console, limits);
      session->load();
      ShowContents(*opt, console, session->tape(), session->first(), session->end());
    } else if (opt) {
      session.emplace(*opt, console, limits);
      session->load();
      session->open();
      session->play();
    }
  } catch (const format::Failure &f) {
    error = f.what();
  } catch (const std::bad_alloc &) {
    error = "Not enough memory!";
  } catch (const std::exception &e) {
    error = format::strprintf("Unexpected failure: %s", e.what());
  }
  if (error.empty()) {
    console.flush();
    return 0;
  }
  console.say("\n-- Error: %s\n", error.c_str());
  if (session) session->end_early();
  console.flush();
  return 1;
}

}  // namespace driver
