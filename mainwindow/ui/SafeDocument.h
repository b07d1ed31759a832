#pragma once

#include <QTextDocument>
#include <QUrl>
#include <QVariant>

namespace tarnwell {

// A text document for the HTML of mail: it fetches nothing a message points at, neither from
// the network nor from files, so that showing or printing spam tells its sender nothing and
// reads nothing of the user's. Only images written into the message itself (data: addresses)
// are drawn.
class TSafeDocument : public QTextDocument {
  Q_OBJECT

 public:
  explicit TSafeDocument(QObject* parent = nullptr);

 protected:
  QVariant loadResource(int type, const QUrl& name) override;
};

}  // namespace tarnwell
