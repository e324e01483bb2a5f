#pragma once
// Controls that follow the edges of their parent when it is resized: an edge named in a
// control's anchors keeps its distance from the same edge of the parent. Anchored to left and
// right, a control grows with the parent's width; to the right alone, it moves with it.
class QRect;
class QWidget;

enum TAnchorKind { akLeft = 1, akTop = 2, akRight = 4, akBottom = 8 };

// Takes the control's geometry and its parent's size, as they are now, as the design.
void SetAnchors(QWidget* control, int anchors);

// Gives an anchored control another place in the design (the parent at its designed size) and
// puts it there as the parent's present size asks.
void MoveAnchored(QWidget* control, const QRect& design);
