#pragma once
// Indices and fill count of a ring of fixed-size slots whose storage the owner keeps. Takes no
// lock: an owner that shares a ring between threads guards it itself.
//
// Store: test IsFull, write the slot at m_putIndex, IncPutIndex.
// Take:  test IsEmpty, read the slot at m_getIndex, IncGetIndex.
// IsFull holds back two slots: a ring of capacity 100 is full with 98 elements.

class LoopBuffer {
public:
    LoopBuffer() = default;
    virtual ~LoopBuffer() = default;

    void SetSize(int capacity) { m_capacity = capacity; }
    void Clear();
    int IncPutIndex();  // returns the new count
    void IncGetIndex();
    bool IsFull() const { return m_count >= m_capacity - 2; }
    bool IsEmpty() const { return m_count == 0; }

    int m_putIndex = 0;
    int m_getIndex = 0;
    int m_count = 0;
    int m_capacity = 50;

private:
    // Reports a count outside 0..capacity; nothing is corrected.
    void CheckBounds() const;
};
