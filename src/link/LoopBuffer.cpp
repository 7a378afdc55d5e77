#include "link/LoopBuffer.h"

#include "platform/MessageBox.h"

void LoopBuffer::Clear()
{
    m_putIndex = 0;
    m_getIndex = 0;
    m_count = 0;
}

int LoopBuffer::IncPutIndex()
{
    m_putIndex = (m_putIndex + 1) % m_capacity;
    ++m_count;
    CheckBounds();
    return m_count;
}

void LoopBuffer::IncGetIndex()
{
    m_getIndex = (m_getIndex + 1) % m_capacity;
    --m_count;
    CheckBounds();
}

void LoopBuffer::CheckBounds() const
{
    if (m_count < 0 || m_count > m_capacity)
        kmr::ShowMessage("LoopBuffer Error:Get index exceed");
}
