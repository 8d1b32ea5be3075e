#pragma once
// The automation drawing object that the plug-in reads: collections Layers, Linetypes, TextStyles
// and DimStyles whose items answer Name.
#include <windows.h>
#include <oaidl.h>

#include <wrl/client.h>

#include "kvstcheck/readers/DrawingNames.h"

namespace kvstcheck {

Microsoft::WRL::ComPtr<IDispatch> MakeDrawingObject(DrawingNames names);

}  // namespace kvstcheck
