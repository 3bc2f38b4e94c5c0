#include "cli/Reporter.h"

#include "platform/Interrupt.h"

#include <csignal>

namespace qwz::cli {

std::string SignalName(int signal) {
    if (signal == SIGINT) return "SIGINT";
    if (signal == SIGTERM) return "SIGTERM";
    return "sygnał " + std::to_string(signal);
}

int EndOfRun(Reporter& reporter, const Console& console, int signal, int commandCode) {
    const std::string outFailure = reporter.OutFailure();
    // A reader that closed the pipe chose to stop: nothing to tell it.
    const bool gone = !outFailure.empty() && console.OutGone();
    if (!outFailure.empty() && !gone)
        reporter.Err("qwz: nie można zapisać wyniku na standardowe wyjście: " + outFailure + "\n");
    if (signal != 0) return platform::InterruptExitCode(signal);
    if (gone) return platform::InterruptExitCode(platform::BrokenPipeSignal());
    return outFailure.empty() ? commandCode : kExitOutput;
}

Reporter::Reporter(Console& console, const Options& options) : console_(console), quiet_(options.quiet) {
    if (const size_t columns = console.ErrColumns(); columns != 0)
        progress_.emplace([&console](const std::string& text) { console.Err(text); }, columns);
}

bool Reporter::Stopping() {
    std::lock_guard<std::mutex> lock(mutex_);
    return console_.StopSignal() != 0 || !outFailure_.empty();
}

void Reporter::Started(size_t index, size_t count, const std::filesystem::path& path) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (progress_) progress_->Show(index, count, path);
}

void Reporter::FileText(const std::string& text, bool error, bool failed) {
    std::lock_guard<std::mutex> lock(mutex_);
    if (error) ErrLocked(text);
    else if (failed || !quiet_) OutLocked(text);
}

void Reporter::JsonLine(const nlohmann::ordered_json& value) {
    // Replacement characters rather than an exception should some text not
    // be UTF-8 (a reader's debug line is 8-bit text).
    const std::string line = value.dump(-1, ' ', false, nlohmann::ordered_json::error_handler_t::replace) + "\n";
    std::lock_guard<std::mutex> lock(mutex_);
    OutLocked(line);
}

void Reporter::Out(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    OutLocked(text);
}

void Reporter::Err(const std::string& text) {
    std::lock_guard<std::mutex> lock(mutex_);
    ErrLocked(text);
}

void Reporter::EndProgress() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (progress_) progress_->Clear();
    progress_.reset();
}

std::string Reporter::OutFailure() {
    std::lock_guard<std::mutex> lock(mutex_);
    return outFailure_;
}

void Reporter::OutLocked(const std::string& text) {
    if (!outFailure_.empty()) return;
    if (progress_) progress_->Clear();
    outFailure_ = console_.Out(text);
    if (progress_) progress_->Redraw();
}

void Reporter::ErrLocked(const std::string& text) {
    if (progress_) progress_->Clear();
    console_.Err(text);
    if (progress_) progress_->Redraw();
}

}  // namespace qwz::cli
