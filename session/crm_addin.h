#pragma once
// CRMAddIn: the session controller ("Vantrell.CRMAddIn"). One per add-in connection; it
// starts the logging session when Outlook has an explorer (InitHandler) and stops it when
// the windows are gone (UnInitHandler), and may go through several such cycles.
#include <string>

#include "connect/type_library.h"
#include "platform/com_object.h"
#include "platform/events.h"
#include "platform/late_bound.h"
#include "platform/typelib_dispatch.h"

namespace vantrell {

class CRMAddIn : public com::Object<com::TypeLibDispatch<_CRMAddIn>> {
public:
    CRMAddIn();
    ~CRMAddIn() override;

    bool Initialized() const noexcept { return mblnInitialized; }
    // True while UnInitHandler runs (Initialized is already False then): its yields let
    // Outlook's queued events in, and none of them may start the controller again meanwhile.
    bool Stopping() const noexcept { return mblnStopping; }
    // The helper utilities object (empty when it could not be created).
    com::LateBound Utils() const { return mobjUtils; }

    void InitHandler(const com::Ptr<IDispatch>& application);
    void UnInitHandler();

private:
    bool mblnInitialized = false;
    bool mblnStopping = false;
    com::LateBound mobjUtils;
    com::WithEvents mobjExpl;
    com::WithEvents mcolExpl;
    com::WithEvents mobjInsp;
    com::WithEvents mcolInsp;
    com::WithEvents mappWd;
};

}  // namespace vantrell
