#pragma once
// Gives the process a test's argument vector (entry 0 is the program) for a scope, then puts
// the one it had back.
#include <string>
#include <utility>
#include <vector>

#include "platform/args.h"

class ArgsScope {
  public:
    explicit ArgsScope(std::vector<std::string> words) : words_(std::move(words)) {
        for (int i = 0; i < platform::arg_count(); ++i)
            saved_.push_back(const_cast<char*>(platform::arg_at(i)));
        for (std::string& w : words_)
            argv_.push_back(w.data());
        platform::set_args(static_cast<int>(argv_.size()), argv_.data());
    }
    ~ArgsScope() { platform::set_args(static_cast<int>(saved_.size()), saved_.data()); }
    ArgsScope(const ArgsScope&) = delete;
    ArgsScope& operator=(const ArgsScope&) = delete;

  private:
    std::vector<std::string> words_;
    std::vector<char*> argv_, saved_;
};
