#include "UnitDetails.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QVBoxLayout>

#include "LodexKV.h"
#include "TextTable.h"

QList<TDetailField> ReadProductDetails(TLodexKV& engine, int32_t session, int32_t base, int32_t hit) {
  QList<TDetailField> fields;
  if (hit < 0 || engine.FetchRecord(session, hit) < 0) return fields;
  const int32_t count = engine.DatafieldCount();
  for (int32_t i = 0; i < count; ++i) {
    if (!engine.DatafieldIsPublished(base, i)) continue;
    TDetailField field;
    field.Name = engine.DatafieldName(base, i).trimmed();
    field.Text = engine.GetFieldData(session, engine.DatafieldNo(base, i));
    field.Multiline = engine.DatafieldIsMultiline(base, i);
    fields.append(field);
  }
  return fields;
}

TFormDetails::TFormDetails(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FormDetails"));
  setWindowTitle(Text(TextId::DetailsTitle, QStringLiteral("Varedetaljer")));
  resize(520, 420);

  OverskriftLbl = new QLabel(this);
  OverskriftLbl->setObjectName(QStringLiteral("OverskriftLbl"));
  OverskriftLbl->setWordWrap(true);
  QFont heading = OverskriftLbl->font();
  heading.setBold(true);
  heading.setPointSizeF(heading.pointSizeF() * 1.2);
  OverskriftLbl->setFont(heading);

  auto* fields = new QWidget;
  FeltLayout = new QFormLayout(fields);
  FeltLayout->setFieldGrowthPolicy(QFormLayout::AllNonFixedFieldsGrow);
  FeltLayout->setRowWrapPolicy(QFormLayout::DontWrapRows);
  auto* scroll = new QScrollArea(this);
  scroll->setWidgetResizable(true);
  scroll->setWidget(fields);
  scroll->setFrameShape(QFrame::NoFrame);

  auto* buttons = new QDialogButtonBox(this);
  LukBtn = buttons->addButton(Text(TextId::DetailsClose, QStringLiteral("Luk")),
                              QDialogButtonBox::RejectRole);
  LukBtn->setObjectName(QStringLiteral("LukBtn"));
  LukBtn->setDefault(true);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(OverskriftLbl);
  layout->addWidget(scroll, 1);
  layout->addWidget(buttons);
}

void TFormDetails::ShowFields(const QList<TDetailField>& fields) {
  fields_ = fields;
  while (FeltLayout->rowCount() > 0) FeltLayout->removeRow(0);
  editors_.clear();
  OverskriftLbl->setText(fields.isEmpty() ? QString() : fields.first().Text);
  // Each text can be selected and copied, but not changed; Tab goes from field to
  // field and then to the close button.
  QWidget* previous = nullptr;
  for (const TDetailField& field : fields) {
    QWidget* editor = nullptr;
    if (field.Multiline) {
      auto* box = new QPlainTextEdit(field.Text);
      box->setReadOnly(true);
      box->setTabChangesFocus(true);
      box->setLineWrapMode(QPlainTextEdit::WidgetWidth);
      // Tall enough for every line, so the whole text shows without its own scrolling.
      const int lines = static_cast<int>(field.Text.count(QLatin1Char('\n'))) + 1;
      box->setMinimumHeight(box->fontMetrics().lineSpacing() * (lines + 1) + 8);
      editor = box;
    } else {
      auto* line = new QLineEdit(field.Text);
      line->setReadOnly(true);
      line->setCursorPosition(0);
      editor = line;
    }
    auto* label = new QLabel(field.Name + QLatin1Char(':'));
    label->setBuddy(editor);
    FeltLayout->addRow(label, editor);
    editors_.append(editor);
    if (previous) setTabOrder(previous, editor);
    previous = editor;
  }
  if (previous) setTabOrder(previous, LukBtn);
  LukBtn->setFocus(Qt::OtherFocusReason);
}
