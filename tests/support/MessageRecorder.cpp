#include "support/MessageRecorder.h"

#include <algorithm>

MessageRecorder::MessageRecorder(kmr::MessageResult answer) : m_answer(answer)
{
    m_previous = kmr::SetMessageHandler([this](const std::string& text, bool) {
        std::lock_guard<std::mutex> lock(m_lock);
        m_texts.push_back(text);
        return m_answer;
    });
}

MessageRecorder::~MessageRecorder()
{
    kmr::SetMessageHandler(m_previous);
}

void MessageRecorder::SetAnswer(kmr::MessageResult answer)
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_answer = answer;
}

std::vector<std::string> MessageRecorder::Texts() const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return m_texts;
}

bool MessageRecorder::Saw(const std::string& text) const
{
    std::lock_guard<std::mutex> lock(m_lock);
    return std::find(m_texts.begin(), m_texts.end(), text) != m_texts.end();
}

void MessageRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(m_lock);
    m_texts.clear();
}
