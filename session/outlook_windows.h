#pragma once
// What Outlook answers about its windows while one of them closes. A question that failed
// says nothing: only an answer of "none left" may end the session.
#include "platform/com_ptr.h"
#include "platform/late_bound.h"

namespace vantrell {

// Application.ActiveExplorer: true when Outlook answered (`explorer` empty when none is left).
bool AskActiveExplorer(com::LateBound application, com::Ptr<IDispatch>& explorer);
// Inspectors.Count: true when Outlook answered.
bool AskInspectorCount(com::LateBound application, long& count);
// The explorer to watch once `closing` has gone: the active one, or, when Outlook could not say
// which that is, another explorer it still lists; empty when none is left or none can be found.
// `answered` tells whether ActiveExplorer answered.
com::Ptr<IDispatch> ExplorerAfterClose(com::LateBound application, const com::Ptr<IDispatch>& closing,
                                       bool& answered);

}  // namespace vantrell
