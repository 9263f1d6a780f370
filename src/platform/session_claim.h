// One guard per desktop session: a guard holds its session's claim for as
// long as it runs, and a second one started there finds it taken.
#pragma once

namespace quorvex {

class SessionClaim {
public:
    virtual ~SessionClaim() = default;  // gives the claim up
};

}  // namespace quorvex
