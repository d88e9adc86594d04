#pragma once
// The GUI framework's exception class. It is thrown as a pointer; its message is UTF-16.
#include <utility>

#include "platform/ustring.h"

class Exception {
  public:
    explicit Exception(UnicodeString message) : message_(std::move(message)) {}
    virtual ~Exception() = default;
    const UnicodeString& Message() const { return message_; }

  private:
    UnicodeString message_;
};
