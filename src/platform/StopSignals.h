#pragma once
// The signals that ask a program to end: SIGINT (Ctrl-C), SIGTERM (a shutdown, kill) and
// SIGHUP (a closed terminal, a dropped ssh session). While a CStopSignals object lives they do
// not end the process; they are recorded, so that work in progress can stop at its next safe
// point (between two exchanges with the amplifier, or through an update's stop sequence) and
// say how far it came. Further signals while stopping are recorded too and change nothing.
//
// One object at a time, made and destroyed on one thread; Received and NotifyFd may be used
// from any thread.
namespace kmr {

class CStopSignals {
public:
    CStopSignals();   // catches the three signals
    ~CStopSignals();  // puts back what was there before
    CStopSignals(const CStopSignals&) = delete;
    CStopSignals& operator=(const CStopSignals&) = delete;

    // The first of the signals that arrived, 0 while none has.
    static int Received();
    // A descriptor that becomes readable when a signal arrives, for an event loop to watch.
    int NotifyFd() const { return m_pipe[0]; }
    // The exit status of a program ended by signal: 128 + its number (130 for SIGINT).
    static int ExitStatus(int signal) { return 128 + signal; }
    // The signal's name, "SIGINT".
    static const char* Name(int signal);

private:
    int m_pipe[2] = {-1, -1};
};

} // namespace kmr
