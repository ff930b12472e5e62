#pragma once
// What the main window's commands say to the user and ask of them, and the clipboard they
// copy PFOs to. The desktop shows boxes; headless, messages are logged and nobody answers.

#include <functional>

#include "platform/text.h"

namespace qf {

enum class MessageIcon { Information, Warning, Error };

class UserPrompts {
  public:
    virtual ~UserPrompts() = default;
    virtual void ShowMessage(TextView title, TextView text, MessageIcon icon) = 0;
    virtual bool AskYesNo(TextView title, TextView text) = 0;
};

// Without a desktop: messages go to `log`; a question is answered No, so nothing is done that
// nobody confirmed.
class HeadlessPrompts : public UserPrompts {
  public:
    using Log = std::function<void(TextView title, TextView text)>;
    explicit HeadlessPrompts(Log log) : log_(std::move(log)) {}
    void ShowMessage(TextView title, TextView text, MessageIcon) override { log_(title, text); }
    bool AskYesNo(TextView title, TextView text) override {
        log_(title, text);
        return false;
    }

  private:
    Log log_;
};

class Clipboard {
  public:
    virtual ~Clipboard() = default;
    virtual Text ReadText() = 0;
    virtual void WriteText(TextView text) = 0;
};

}  // namespace qf
