#pragma once
// The base of the simulated Outlook's own objects: a simulated object that knows the session
// (the host) it belongs to, until the host goes.
#include <string>

#include "sim/outlook/sim_object.h"

namespace vantrell::sim {

class Host;

class OutlookObject : public SimObject {
public:
    OutlookObject(Host* host, std::wstring kind);
    void Orphan() noexcept override {
        SimObject::Orphan();
        host_ = nullptr;
    }

protected:
    Host* host_;
};

}  // namespace vantrell::sim
