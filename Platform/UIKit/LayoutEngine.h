// LayoutEngine: Auto Layout for the views that constraints place.
//
// A view whose translatesAutoresizingMaskIntoConstraints is NO is placed by constraints; any other
// view keeps the frame that code and autoresizing give it. The views that constraints place form
// islands under a root: the nearest ancestor that is not placed by constraints (or has no
// superview). When a view lays out its subviews (UIView's layoutSubviews, so also layoutIfNeeded),
// the engine solves the constraints of its root's whole tree at once and gives the view's
// constraint-placed subviews their frames; deeper views get theirs when their own superviews lay
// out in the same pass (they are marked for layout when their frames are due to change).
//
// What takes part:
//   - every constraint installed on a view of the root's tree whose items lie in that tree (a view
//     or a layout guide of one); others are skipped;
//   - the intrinsic content size of each constraint-placed view: on each axis that has one,
//     size >= intrinsic at the compression-resistance priority and size <= intrinsic at the
//     content-hugging priority;
//   - frames that code gave: views not placed by constraints (the root among them) are fixed;
//   - very weak "stay" constraints that keep each placed view where it is when the constraints
//     leave it free (an ambiguous layout keeps the previous frame).
// Priorities are honoured level by level (see LayoutSolver). A required constraint that conflicts
// with the others is left out, with the platform's "Unable to simultaneously satisfy constraints"
// log, once per constraint. Frames are rounded to the screen's pixel grid.
//
// Not done: multi-line labels are not measured again for the width the solver gives them (their
// intrinsic size wraps at preferredMaxLayoutWidth or at the width they already have), transforms
// are ignored (alignment rectangles are the untransformed frames), right-to-left layout (leading
// is left), baselines other than a label's text (other views use their bottom edge), and
// systemLayoutSizeFittingSize.
#pragma once

class UIView;

namespace uikit_detail {

class LayoutEngine {
public:
    // Gives the constraint-placed subviews of `view` (and the plain layout guides it owns) their
    // frames. Does nothing when it has none, or when no constraint lies in its root's tree.
    static void layoutSubviewsOfView(UIView* view);
    // A constraint, an intrinsic size or a margin of `view` changed: marks `view` and every
    // ancestor up to its island's root as needing layout.
    static void invalidate(UIView* view);
};

} // namespace uikit_detail
