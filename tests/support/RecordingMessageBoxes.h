#pragma once
// Message boxes that record what would have been shown and answer from a queue.
#include <deque>
#include <functional>
#include <string>
#include <vector>

#include "platform/CodePage.h"
#include "platform/MessageBoxes.h"

struct RecordedBox {
    std::string caption;  // Unicode (UTF-8), for readable assertions
    std::string text;     // Unicode (UTF-8)
    platform::MsgIcon icon;
    platform::MsgButtons buttons;
};

class RecordingMessageBoxes : public platform::MessageBoxes {
  public:
    RecordingMessageBoxes() { platform::SetMessageBoxes(this); }
    ~RecordingMessageBoxes() override { platform::SetMessageBoxes(nullptr); }

    platform::MsgResult Show(const std::string& caption, const std::string& text,
                             platform::MsgIcon icon, platform::MsgButtons buttons) override {
        boxes.push_back({platform::SjisToUtf8(caption), platform::SjisToUtf8(text), icon, buttons});
        if (onShow)
            onShow(boxes.back());
        if (answers.empty())
            return platform::MsgResult::Ok;
        const auto answer = answers.front();
        answers.pop_front();
        return answer;
    }

    // Texts of the boxes shown so far, in order.
    std::vector<std::string> Texts() const {
        std::vector<std::string> texts;
        for (const auto& b : boxes)
            texts.push_back(b.text);
        return texts;
    }

    std::vector<RecordedBox> boxes;
    std::deque<platform::MsgResult> answers;         // default answer: Ok
    std::function<void(const RecordedBox&)> onShow;  // runs while the box "is shown"
};
