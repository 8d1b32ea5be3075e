#include "kvstcheck/DrawingObject.h"

#include "drawing/Drawing.h"

namespace kvstcheck {

Microsoft::WRL::ComPtr<IDispatch> MakeDrawingObject(const DrawingNames& names) {
    return drawing::MakeDrawing(drawing::DrawingNames{names.layers, names.linetypes, names.textStyles, names.dimStyles});
}

}  // namespace kvstcheck
