// operation_outcome.h - how an archive operation ended, for front ends that need an exit status.
//
// The person learns everything through the messages; the outcome only
// summarises them (zor-cli turns it into its exit status).
#pragma once

namespace zor {

enum class OperationOutcome {
    Succeeded,   // everything asked for was done
    Failed,      // stopped by an error, or some entries failed or were skipped for damage or unsafe names
    Aborted,     // the person pressed Abort
    Cancelled,   // the person cancelled a prompt; nothing was done
    Fatal,       // a fatal report returned (only a test double returns from one)
};

}  // namespace zor
