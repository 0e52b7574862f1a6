#pragma once

#include "framework/dialog_template.h"

namespace res {

// The dialog templates, as control tables in tab order.
const framework::DialogTemplate& FindFilesTemplate();    // 130 "Select Files"
const framework::DialogTemplate& ListFilesTemplate();    // 131 "Files Matching Pattern"
const framework::DialogTemplate& SupportInfoTemplate();  // 133 "Support Information"

}  // namespace res
