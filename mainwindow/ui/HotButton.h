#pragma once

#include <QAbstractButton>
#include <QIcon>

namespace tarnwell {

// A large flat button of the main window's page bar: its glyph centred near the top, its caption
// centred along the bottom edge. The mouse over it raises its edge; pressing sinks the edge and
// shifts glyph and caption by a pixel; disabled, both are greyed.
class THotButton : public QAbstractButton {
  Q_OBJECT

 public:
  static constexpr int kSize = 60;
  static constexpr int kGlyphSize = 32;

  enum class TEdge { None, Raised, Sunken };

  explicit THotButton(QWidget* parent = nullptr);

  // One picture for every state; the disabled look is drawn from it.
  void SetGlyph(const QIcon& glyph);
  [[nodiscard]] const QIcon& Glyph() const { return glyph_; }
  [[nodiscard]] TEdge Edge() const;
  // The mouse is over the button.
  [[nodiscard]] bool Hot() const { return hot_; }

  // 60 pixels square, wider when the caption needs it.
  [[nodiscard]] QSize sizeHint() const override;
  [[nodiscard]] QSize minimumSizeHint() const override { return sizeHint(); }

 protected:
  void paintEvent(QPaintEvent* event) override;
  void enterEvent(QEnterEvent* event) override;
  void leaveEvent(QEvent* event) override;

 private:
  QIcon glyph_;
  bool hot_ = false;
};

}  // namespace tarnwell
