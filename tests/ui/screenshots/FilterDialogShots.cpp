// The filter dialogs with the demo's filters, and the recipients menu dropped.
#include <QApplication>
#include <QComboBox>
#include <QImage>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <memory>

#include "filtering/Filters.h"
#include "filtering/ui/DlgMultipleFlt.h"
#include "filtering/ui/FilterDialogs.h"
#include "filtering/ui/SpeedPopUp.h"
#include "tests/ui/screenshots/Shots.h"

namespace tarnwell {
namespace {

// The dialog with the recipients menu dropped below its button, as one picture.
void ShootWithMenu(QDialog& dialog, const std::string& name) {
  dialog.show();
  QApplication::processEvents();
  auto* button = dialog.findChild<TSpeedPopUp*>(QStringLiteral("spuComplainTo"));
  QMenu* menu = button->Menu();
  button->setDown(true);
  menu->popup(button->mapToGlobal(QPoint(0, button->height())));
  QApplication::processEvents();
  const QImage window = dialog.grab().toImage();
  const QImage dropped = menu->grab().toImage();
  const QPoint at = button->mapTo(&dialog, QPoint(0, button->height()));
  QImage picture(window.width(), std::max(window.height(), at.y() + dropped.height()),
                 QImage::Format_ARGB32);
  picture.fill(Qt::transparent);
  QPainter painter(&picture);
  painter.drawImage(0, 0, window);
  painter.drawImage(at, dropped);
  painter.end();
  menu->hide();
  button->setDown(false);
  dialog.hide();
  shots::Save(picture, name);
}

void ShootFilterDialogs() {
  TSenderFilter sender;
  sender.SetText2("bulk-mailer.example.net");
  sender.Action = acKillAfterComplaint;
  sender.Recipients = rcAbuse | rcPostmaster;
  std::unique_ptr<QDialog> dialog = FilterDialogFor(sender, false, nullptr);
  shots::Shoot(*dialog, "filter-sender");
  dialog->findChild<QPushButton*>(QStringLiteral("btnMore"))->click();
  shots::Shoot(*dialog, "filter-sender-look-in");
  ShootWithMenu(*dialog, "filter-sender-recipients");

  TSenderFilter user;
  user.Condition1 = cnStartsWith;
  user.SetText1("sales");
  user.SetText2("shop.example.com");
  dialog = FilterDialogFor(user, false, nullptr);
  dialog->findChild<QPushButton*>(QStringLiteral("btnMore"))->click();
  shots::Shoot(*dialog, "filter-sender-user-name");

  TSubjectFilter subject;
  subject.SetText1("miracle pill");
  shots::Shoot(*FilterDialogFor(subject, false, nullptr), "filter-subject");

  TTextFilter text;
  text.SetText1("lottery winnings");
  shots::Shoot(*FilterDialogFor(text, false, nullptr), "filter-text");

  THeaderFilter header;
  header.SetText1("X-Mailer");
  header.SetText2("MassMailer");
  header.Action = acKillAfterErrorMessage;
  header.Recipients = rcReplyTo;
  shots::Shoot(*FilterDialogFor(header, false, nullptr), "filter-header");

  TFilter scratch;
  scratch.Action = acKillAfterComplaint;
  TMultipleFltDlg multiple(scratch);
  shots::Shoot(multiple, "filter-multiple");
  ShootWithMenu(multiple, "filter-multiple-recipients");
}

const shots::TShotSet kSet("filters-2-dialogs", &ShootFilterDialogs);

}  // namespace
}  // namespace tarnwell
