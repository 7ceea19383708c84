// Carrying out the uninstall's cleanup plan (cleanup_plan.h) operation by
// operation, each one checked again through the plan's gate just before it
// acts, since a file can change between the plan and the act.
#pragma once

#include <functional>

#include "cleanup/cleanup_plan.h"

namespace kalinor {

/// Called with each operation after the gate let it through and before it
/// acts: the seam where the tests' adversary changes the folders. Empty in
/// the tool.
using BeforeActHook = std::function<void(const FileOperation&)>;

/// Carries out the plan's operations of one step, in order, on the files and
/// on the documents the plan carries.
///
/// kClearStoreSettings: the copy that brings the list into the data folder,
/// the takeover's moves, saves and the older list's removal, each database's
/// deletion, the cleared list's save; a copy that fails or is refused ends
/// the step there. kClearArchiveUrl: the seed copy, if any, then the save
/// with PellucorURL set to empty text.
///
/// Every refusal, and every act the system refused, writes one debugger line
/// naming the path and why (the system's error); a database that could not
/// be deleted keeps its store in the saved list. True when nothing was left
/// undone: every listed database deleted or already absent, nothing refused,
/// each file saved or none to save.
bool CarryOut(CleanupPlan& plan, CleanupStep step, const BeforeActHook& beforeAct = {});

}  // namespace kalinor
