// Every wait, time-out and repeat count of the network plug-in in one
// table. The defaults are the shipped values; tests hand the plug-in a
// shortened copy so that silent peers do not cost minutes.
#pragma once

namespace vscore {

struct NetTimings {
    // Greeting of the data channel: one read waits this long, a read that
    // brought no line end is followed by the pause, and after this many
    // reads without CR LF the scanner counts as silent (about 255 s, unless
    // the open is broken off first).
    long greetingReadTimeoutMs = 5000;
    unsigned long greetingPauseMs = 100;
    int greetingMaxReads = 50;
    // Connecting: tries within one attempt and the pause between them.
    int connectTries = 3;
    unsigned long connectRetryWaitMs = 2000;
    // A busy scanner is asked once more after this wait.
    unsigned long busyRetryWaitMs = 2000;
    // A send that got only part of its bytes out goes on for at least this
    // long (counted from its start), so no cut command frame is left on the
    // wire because of a short time-out.
    long sendCompletionMs = 5000;

    // SNMP: time-out of sending one request and of waiting for an answer.
    long snmpSendTimeoutMs = 1000;
    long snmpAnswerWaitMs = 2000;
    // Discovery ends at the latest this long after its request, and after
    // this many records, however many answers still arrive.
    long discoveryWindowMs = 10000;
    unsigned discoveryMaxRecords = 256;
    // Presence check: opens and requests, with the pause between tries.
    int presenceOpenTries = 3;
    unsigned long presenceOpenWaitMs = 200;
    int presenceTries = 3;
    unsigned long presenceRetryWaitMs = 200;
};

}  // namespace vscore
