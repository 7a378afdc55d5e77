#include "link/MSComm.h"

#include "link/PortSurvey.h"

#include <algorithm>
#include <cstdlib>

void CMSComm::SetCommPort(short port)
{
    std::unique_lock lock(m_lock);
    m_port = port;
}

short CMSComm::GetCommPort() const
{
    std::shared_lock lock(m_lock);
    return m_port;
}

void CMSComm::SetDevice(const std::string& path)
{
    std::unique_lock lock(m_lock);
    m_devicePath = path;
}

std::string CMSComm::DevicePath() const
{
    std::shared_lock lock(m_lock);
    if (!m_devicePath.empty())
        return m_devicePath;
    return ComPortDevice(m_port);
}

std::string CMSComm::PortName() const
{
    std::shared_lock lock(m_lock);
    return m_devicePath.empty() ? "COM" + std::to_string(m_port) : m_devicePath;
}

void CMSComm::SetSettings(const std::string& settings)
{
    std::unique_lock lock(m_lock);
    m_settings = settings;
}

std::string CMSComm::GetSettings() const
{
    std::shared_lock lock(m_lock);
    return m_settings;
}

void CMSComm::SetInBufferSize(short size)
{
    std::unique_lock lock(m_lock);
    m_inBufferSize = size;
}

short CMSComm::GetInBufferSize() const
{
    std::shared_lock lock(m_lock);
    return m_inBufferSize;
}

void CMSComm::SetOutBufferSize(short size)
{
    std::unique_lock lock(m_lock);
    m_outBufferSize = size;
}

short CMSComm::GetOutBufferSize() const
{
    std::shared_lock lock(m_lock);
    return m_outBufferSize;
}

void CMSComm::SetInputMode(long mode)
{
    std::unique_lock lock(m_lock);
    m_inputMode = mode;
}

void CMSComm::SetRThreshold(short threshold)
{
    std::unique_lock lock(m_lock);
    m_rThreshold = threshold;
}

void CMSComm::SetInputLen(short len)
{
    std::unique_lock lock(m_lock);
    m_inputLen = len;
}

bool CMSComm::GetPortOpen() const
{
    std::shared_lock lock(m_lock);
    return m_device.IsOpen();
}

void CMSComm::NameDevice(kmr::SerialError* error) const
{
    // Called with m_lock held.
    if (m_devicePath.empty() && !error->device.empty())
        error->device = "COM" + std::to_string(m_port) + " (" + error->device + ")";
}

bool CMSComm::SetPortOpen(bool open)
{
    const std::string path = DevicePath();
    std::unique_lock lock(m_lock);
    if (!open) {
        m_device.Close();
        return true;
    }
    if (m_device.IsOpen())
        return true;
    kmr::SerialError error;
    const auto settings = kmr::ParseLineSettings(m_settings);
    bool ok = false;
    if (!settings) {
        error.kind = kmr::SerialError::BadSettings;
        error.device = path;
        error.reason = "the port settings \"" + m_settings + "\" are not valid";
        error.remedy = "Choose the port settings again.";
    } else {
        m_device.SetOutputBufferSize(static_cast<std::size_t>(std::max<short>(m_outBufferSize, 16)));
        ok = m_device.Open(path, *settings, &error,
                           m_devicePath.empty() ? "KMR6650_COM" + std::to_string(m_port) : std::string());
    }
    NameDevice(&error);
    std::lock_guard<std::mutex> elock(m_errorLock);
    m_lastError = ok ? kmr::SerialError{} : error;
    m_lastWriteError = {};
    return ok;
}

kmr::SerialError CMSComm::LastError() const
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_lastError;
}

kmr::SerialError CMSComm::LastWriteError() const
{
    std::lock_guard<std::mutex> lock(m_errorLock);
    return m_lastWriteError;
}

std::size_t CMSComm::GetInput(std::uint8_t* buf, std::size_t max)
{
    std::shared_lock lock(m_lock);
    std::size_t limit = std::min<std::size_t>(max, static_cast<std::size_t>(std::max<short>(m_inBufferSize, 1)));
    if (m_inputLen > 0)
        limit = std::min<std::size_t>(limit, static_cast<std::size_t>(m_inputLen));
    kmr::SerialError error;
    const std::size_t n = m_device.Read(buf, limit, &error);
    if (error.kind != kmr::SerialError::None) {
        NameDevice(&error);
        std::lock_guard<std::mutex> elock(m_errorLock);
        m_lastError = error;
    }
    return n;
}

bool CMSComm::SetOutput(const std::uint8_t* data, std::size_t n)
{
    std::shared_lock lock(m_lock);
    kmr::SerialError error;
    if (!m_device.IsOpen()) {  // a closed port drops the block
        error.kind = kmr::SerialError::Other;
        error.operation = kmr::SerialError::Write;
        error.device = m_devicePath.empty() ? "COM" + std::to_string(m_port) : m_devicePath;
        error.reason = "the port is not open";
        error.remedy = "Open the port, then try again.";
    } else {
        std::lock_guard<std::mutex> write(m_writeLock);
        if (m_device.Write(data, n, &error))
            return true;
        NameDevice(&error);
    }
    std::lock_guard<std::mutex> elock(m_errorLock);
    m_lastWriteError = error;
    return false;
}

bool CMSComm::LineLost() const
{
    std::shared_lock lock(m_lock);
    return m_device.LineLost();
}
