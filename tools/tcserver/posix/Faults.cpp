#include "tools/tcserver/posix/Faults.h"

#include <cstdlib>

namespace {

bool parseCount(const std::string& text, int& value)
{
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    value = std::atoi(text.c_str());
    return true;
}

} // namespace

bool Faults::apply(const std::string& raw)
{
    std::string text = raw;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    const size_t eq = text.find('=');
    const std::string name = text.substr(0, eq);
    const bool hasValue = eq != std::string::npos;
    const std::string value = hasValue ? text.substr(eq + 1) : std::string();

    std::lock_guard<std::mutex> hold(m_lock);
    if (name == "none" && !hasValue) {
        resetLocked();
        return true;
    }
    if (name == "refuse" && !hasValue) {
        m_refuse = true;
        return true;
    }
    if (name == "404") {
        if (hasValue && (value.empty() || value[0] != '/'))
            return false;
        m_notFound = true;
        m_notFoundPath = value;
        return true;
    }
    if (name == "slow") {
        int ms = 0;
        if (!parseCount(value, ms))
            return false;
        m_slowMs = ms;
        return true;
    }
    if (name == "garbage") {
        if (hasValue && (value.empty() || value[0] != '/'))
            return false;
        m_garbage = true;
        m_garbagePath = value;
        return true;
    }
    if (name == "htmlhello" && !hasValue) {
        m_htmlHello = true;
        return true;
    }
    if (name == "wrongkey" && !hasValue) {
        m_wrongKey = true;
        return true;
    }
    if (name == "lostreply") {
        int n = 0;
        if (!parseCount(value, n))
            return false;
        m_lostReplies = n;
        return true;
    }
    return false;
}

void Faults::clear()
{
    std::lock_guard<std::mutex> hold(m_lock);
    resetLocked();
}

void Faults::resetLocked()
{
    m_refuse = m_notFound = m_garbage = m_htmlHello = m_wrongKey = false;
    m_notFoundPath.clear();
    m_garbagePath.clear();
    m_slowMs = 0;
    m_lostReplies = 0;
}

bool Faults::refusing() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_refuse;
}

bool Faults::notFound(const std::string& path) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_notFound && (m_notFoundPath.empty() || m_notFoundPath == path);
}

int Faults::slowMilliseconds() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_slowMs;
}

bool Faults::garbage(const std::string& path) const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_garbage && (m_garbagePath.empty() || m_garbagePath == path);
}

bool Faults::htmlHello() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_htmlHello;
}

bool Faults::wrongKey() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    return m_wrongKey;
}

bool Faults::takeLostReply()
{
    std::lock_guard<std::mutex> hold(m_lock);
    if (m_lostReplies <= 0)
        return false;
    --m_lostReplies;
    return true;
}

std::string Faults::describe() const
{
    std::lock_guard<std::mutex> hold(m_lock);
    std::string out;
    if (m_refuse)
        out += "refuse\n";
    if (m_notFound)
        out += m_notFoundPath.empty() ? "404\n" : "404=" + m_notFoundPath + "\n";
    if (m_slowMs > 0)
        out += "slow=" + std::to_string(m_slowMs) + "\n";
    if (m_garbage)
        out += m_garbagePath.empty() ? "garbage\n" : "garbage=" + m_garbagePath + "\n";
    if (m_htmlHello)
        out += "htmlhello\n";
    if (m_wrongKey)
        out += "wrongkey\n";
    if (m_lostReplies > 0)
        out += "lostreply=" + std::to_string(m_lostReplies) + "\n";
    return out.empty() ? "none\n" : out;
}
