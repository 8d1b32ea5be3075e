#include "kvstcheck/runs/DrawingObject.h"

#include <utility>

#include "drawing/Drawing.h"

namespace kvstcheck {

Microsoft::WRL::ComPtr<IDispatch> MakeDrawingObject(DrawingNames names) {
    return drawing::MakeDrawing(drawing::DrawingNames{std::move(names.layers), std::move(names.linetypes),
                                                      std::move(names.textStyles), std::move(names.dimStyles)});
}

}  // namespace kvstcheck
