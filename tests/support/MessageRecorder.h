#pragma once
// Records every message the core shows and answers it as told; restores the previous handler
// when it goes out of scope.
#include "platform/MessageBox.h"

#include <mutex>
#include <string>
#include <vector>

class MessageRecorder {
public:
    explicit MessageRecorder(kmr::MessageResult answer = kmr::MSG_OK);
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void SetAnswer(kmr::MessageResult answer);
    std::vector<std::string> Texts() const;
    bool Saw(const std::string& text) const;
    void Clear();

private:
    mutable std::mutex m_lock;
    std::vector<std::string> m_texts;
    kmr::MessageResult m_answer;
    kmr::MessageHandler m_previous;
};
