#pragma once

namespace vorn {

// The list in the main window is regular; the focus panel's narrow list is compact.
enum class ListStyle { regular, compact };

} // namespace vorn
