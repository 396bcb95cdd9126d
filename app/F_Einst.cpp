#include "app/F_Einst.h"

#include "base/TextRules.h"
#include "host/SourceColumns.h"
#include "ui/ModalMessage.h"
#include "ui/Twips.h"
#include "ui/WindowFont.h"

#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QToolTip>
#include <QValidator>

#include <limits>

namespace {

enum class Kind {
    TextBox,
    // A combo box whose list offers the columns a value can be taken from.
    SourceCombo,
    // A combo box with the certification list, which is part of its definition.
    CertificationCombo,
};

// Text boxes have no length limit unless their label names one; Qt's default of 32767
// characters would cut a longer value.
constexpr int NoLengthLimit = std::numeric_limits<int>::max();

// One field with its label (ExportSettings::label). Positions are twips relative to the frame;
// labels are 255 twips high, text boxes 285, combo boxes 315.
struct Field
{
    ExportSettings::Key key;
    const char *name;
    Kind kind;
    int labelLeft;
    int labelWidth;
    int top;
    int left;
    int width;
    // The most characters typing may give a text box: the width its label announces, which the
    // delivery line keeps.
    int typingLimit = NoLengthLimit;
};

// The export directory has the frame "Pfade" to itself, with the folder button beside it.
const Field ExportField = {
    ExportSettings::EXPORTPATH, "Tx_PathExport", Kind::TextBox, 120, 735, 360, 1440, 6375
};

// The frame "Zuordnungen". In its left half the labels reach up to 60 twips before their
// field, which ends at 4095; in the right half the labels stand at 4680 and the combo boxes
// at 6720, 1335 wide.
constexpr int RightLabel = 4680;
constexpr int RightLabelWidth = 6720 - 60 - RightLabel;
constexpr int RightCombo = 6720;
constexpr int RightComboWidth = 1335;

const Field AssignmentFields[] = {
    { ExportSettings::BUNDESLAND, "Tx_Bundesland", Kind::TextBox, 120, 3540, 240, 3720, 375, 2 },
    { ExportSettings::LIEFNRBRETT, "Cb_LNrBrett", Kind::SourceCombo, 120, 2340, 600, 2520, 1575 },
    { ExportSettings::KAUVERTRNR, "Cb_KvNrBrett", Kind::SourceCombo, 120, 2340, 960, 2520, 1575 },
    { ExportSettings::EXTKAUFVERTRNR, "Cb_ExtKvNr", Kind::SourceCombo, 120, 2340, 1320, 2520,
      1575 },
    { ExportSettings::FORSTAMT, "Tx_FoA", Kind::TextBox, 120, 1500, 1680, 1680, 2415, 35 },
    { ExportSettings::FORSTAMTNUMMER, "Tx_FoANr", Kind::TextBox, 120, 1500, 2040, 1680, 2415, 12 },
    { ExportSettings::FWJ, "Tx_FWJ", Kind::TextBox, 120, 3060, 2400, 3240, 855, 4 },
    { ExportSettings::STEUERNR, "Tx_SteuerNr", Kind::TextBox, 120, 1380, 3600, 1560, 2535 },
    { ExportSettings::ZERTIFIZIERUNG, "Cb_Zertifizierung", Kind::CertificationCombo, 120, 2580,
      3960, 2760, 1335 },
    { ExportSettings::ZERTIFIZIERUNGSNR, "Tx_ZertifizierungsNr", Kind::TextBox, 120, 1380, 4320,
      1560, 2535 },

    { ExportSettings::REVIER, "Cb_Revier", Kind::SourceCombo, RightLabel, RightLabelWidth, 240,
      RightCombo, RightComboWidth },
    { ExportSettings::DISTRIKT, "Cb_Distrikt", Kind::SourceCombo, RightLabel, RightLabelWidth, 600,
      RightCombo, RightComboWidth },
    { ExportSettings::ABT, "Cb_Abt", Kind::SourceCombo, RightLabel, RightLabelWidth, 960,
      RightCombo, RightComboWidth },
    { ExportSettings::UABT, "Cb_UAbt", Kind::SourceCombo, RightLabel, RightLabelWidth, 1320,
      RightCombo, RightComboWidth },
    { ExportSettings::STRASSEREVIER, "Cb_StrasseRevier", Kind::SourceCombo, RightLabel,
      RightLabelWidth, 1680, RightCombo, RightComboWidth },
    { ExportSettings::PLZREVIER, "Cb_PlzRevier", Kind::SourceCombo, RightLabel, RightLabelWidth,
      2040, RightCombo, RightComboWidth },
    { ExportSettings::ORTREVIER, "Cb_OrtRevier", Kind::SourceCombo, RightLabel, RightLabelWidth,
      2400, RightCombo, RightComboWidth },
    { ExportSettings::NAMEREVIERFORSTER, "Cb_NameRevF", Kind::SourceCombo, RightLabel,
      RightLabelWidth, 2760, RightCombo, RightComboWidth },
    { ExportSettings::TELREVIERFORSTER, "Cb_TelRevF", Kind::SourceCombo, RightLabel,
      RightLabelWidth, 3120, RightCombo, RightComboWidth },
    { ExportSettings::STEUERNRWB, "Cb_SteuerNrWB", Kind::SourceCombo, RightLabel, RightLabelWidth,
      3600, RightCombo, RightComboWidth },
    { ExportSettings::ZERTIFIZIERUNGWB, "Cb_ZertifizierungWB", Kind::CertificationCombo, RightLabel,
      RightLabelWidth, 3960, RightCombo, RightComboWidth },
    { ExportSettings::ZERTIFIZIERUNGSNRWB, "Cb_ZertifizierungsNrWB", Kind::SourceCombo, RightLabel,
      RightLabelWidth, 4320, RightCombo, RightComboWidth },
};

// The keyboard order; KeyCount stands for the button "Schließen".
const ExportSettings::Key TabOrder[] = {
    ExportSettings::EXPORTPATH,
    ExportSettings::LIEFNRBRETT,
    ExportSettings::KAUVERTRNR,
    ExportSettings::EXTKAUFVERTRNR,
    ExportSettings::FORSTAMT,
    ExportSettings::FORSTAMTNUMMER,
    ExportSettings::FWJ,
    ExportSettings::BUNDESLAND,
    ExportSettings::REVIER,
    ExportSettings::DISTRIKT,
    ExportSettings::STRASSEREVIER,
    ExportSettings::PLZREVIER,
    ExportSettings::ORTREVIER,
    ExportSettings::NAMEREVIERFORSTER,
    ExportSettings::TELREVIERFORSTER,
    ExportSettings::ABT,
    ExportSettings::UABT,
    ExportSettings::KeyCount,
    ExportSettings::STEUERNR,
    ExportSettings::ZERTIFIZIERUNG,
    ExportSettings::ZERTIFIZIERUNGSNR,
    ExportSettings::STEUERNRWB,
    ExportSettings::ZERTIFIZIERUNGWB,
    ExportSettings::ZERTIFIZIERUNGSNRWB,
};

// Brett.Ini is Windows-1252: a character it lacks would be lost at the save, so it is
// refused where it is typed, with a hint beside the field. A value shown as loaded is not
// checked here; the save names it. Likewise an edit that makes a text longer than its typing
// limit is refused (a paste whole); a value loaded longer is kept as it is, for the check
// report names what the delivery line makes of it, and may be shortened.
class AnsiValidator : public QValidator
{
public:
    AnsiValidator(QLineEdit *edit, int typingLimit)
        : QValidator(edit), m_edit(edit), m_typingLimit(typingLimit)
    {
        if (m_typingLimit != NoLengthLimit)
            connect(edit, &QLineEdit::textChanged, this,
                    [this](const QString &text) { m_previousLength = text.size(); });
    }

    State validate(QString &input, int &) const override
    {
        if (input.size() > m_typingLimit && input.size() > m_previousLength)
            return refuse(QStringLiteral("Die Lieferdatei nimmt hier höchstens %1 Zeichen auf.")
                                  .arg(m_typingLimit));
        const qsizetype pos = TextRules::firstOutsideAnsi(input);
        if (pos < 0)
            return Acceptable;
        return refuse(QStringLiteral("Das Zeichen %1 kann Brett.Ini nicht aufnehmen.")
                              .arg(TextRules::characterAt(input, pos)));
    }

private:
    State refuse(const QString &hint) const
    {
        QToolTip::showText(m_edit->mapToGlobal(QPoint(0, m_edit->height())), hint, m_edit);
        return Invalid;
    }

    QLineEdit *m_edit;
    int m_typingLimit;
    qsizetype m_previousLength = 0;
};

QWidget *createField(const Field &field, QGroupBox *frame)
{
    auto *label = new QLabel(ExportSettings::label(field.key), frame);
    label->setGeometry(Twips::rect(field.labelLeft, field.top, field.labelWidth, 255));

    QWidget *widget = nullptr;
    if (field.kind == Kind::TextBox) {
        auto *edit = new QLineEdit(frame);
        edit->setMaxLength(NoLengthLimit);
        edit->setValidator(new AnsiValidator(edit, field.typingLimit));
        edit->setGeometry(Twips::rect(field.left, field.top, field.width, 285));
        widget = edit;
    } else {
        // Free typing that stays as typed: no entry is added, and no completion changes the
        // text; the value is the edit text whether picked or typed.
        auto *combo = new QComboBox(frame);
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setCompleter(nullptr);
        combo->lineEdit()->setMaxLength(NoLengthLimit);
        combo->setValidator(new AnsiValidator(combo->lineEdit(), NoLengthLimit));
        combo->setGeometry(Twips::rect(field.left, field.top, field.width, 315));
        if (field.kind == Kind::CertificationCombo)
            combo->addItems({ QStringLiteral("FSC"), QStringLiteral("PEFC") });
        widget = combo;
    }
    widget->setObjectName(QLatin1String(field.name));
    label->setObjectName(widget->objectName() + QStringLiteral("_Label"));
    return widget;
}

QString fieldText(const QWidget *field)
{
    if (const auto *combo = qobject_cast<const QComboBox *>(field))
        return combo->currentText();
    return static_cast<const QLineEdit *>(field)->text();
}

// The field shows the beginning of a text too long for it, as a freshly opened form does. A
// combo box whose text is one of its entries has that entry selected, so that its list opens
// there; filling the list selects the first entry, which the text may not be.
void setFieldText(QWidget *field, const QString &text)
{
    auto *combo = qobject_cast<QComboBox *>(field);
    if (combo)
        combo->setCurrentIndex(combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
    QLineEdit *edit = combo ? combo->lineEdit() : static_cast<QLineEdit *>(field);
    // The validator judges typing; a value as loaded is not its to judge, and one it refused
    // here would leave it judging nothing after.
    const QValidator *validator = edit->validator();
    edit->setValidator(nullptr);
    edit->setText(text);
    edit->setValidator(validator);
    edit->setCursorPosition(0);
}

} // namespace

F_Einst::F_Einst(ExportSettings &settings, QWidget *parent)
    : KeepOpenDialog(parent), m_settings(settings)
{
    buildControls();
}

F_Einst::~F_Einst() = default;

void F_Einst::buildControls()
{
    setWindowTitle(QStringLiteral("Einstellungen"));
    setFont(WindowFont::standard());
    // Near the top left of the screen, not centred; the absolute layout wants a fixed frame.
    setGeometry(Twips::rect(1575, 1620, 8730, 6420));
    setFixedSize(size());

    // The frame reaches as far right as the one below it, to hold the folder button.
    auto *frExport = new QGroupBox(QStringLiteral("Pfade"), this);
    frExport->setObjectName(QStringLiteral("Fr_Export"));
    frExport->setGeometry(Twips::rect(120, 120, 8535, 855));
    m_fields[ExportField.key] = createField(ExportField, frExport);
    m_butPathExport = new QPushButton(QStringLiteral("…"), frExport);
    m_butPathExport->setObjectName(QStringLiteral("But_PathExport"));
    m_butPathExport->setToolTip(QStringLiteral("Exportverzeichnis wählen"));
    m_butPathExport->setAccessibleName(m_butPathExport->toolTip());
    m_butPathExport->setGeometry(Twips::rect(7920, 345, 495, 315));
    m_butPathExport->setAutoDefault(false);
    connect(m_butPathExport, &QPushButton::clicked, this, &F_Einst::But_PathExport_Click);

    auto *frZuord = new QGroupBox(QStringLiteral("Zuordnungen"), this);
    frZuord->setObjectName(QStringLiteral("Fr_Zuord"));
    frZuord->setGeometry(Twips::rect(120, 1080, 8535, 4815));
    for (const Field &field : AssignmentFields)
        m_fields[field.key] = createField(field, frZuord);

    m_butSchliessen = new QPushButton(QStringLiteral("Schließen"), this);
    m_butSchliessen->setObjectName(QStringLiteral("But_Schliessen"));
    m_butSchliessen->setGeometry(Twips::rect(7320, 6000, 1335, 375));
    // Neither default nor cancel button: Enter and Escape do not press it.
    m_butSchliessen->setAutoDefault(false);
    m_butSchliessen->setDefault(false);
    connect(m_butSchliessen, &QPushButton::clicked, this, &F_Einst::But_Schliessen_Click);

    QWidget *previous = nullptr;
    for (const ExportSettings::Key key : TabOrder) {
        QWidget *next = key == ExportSettings::KeyCount ? m_butSchliessen : m_fields[key];
        if (previous)
            setTabOrder(previous, next);
        previous = next;
        if (key == ExportSettings::EXPORTPATH) {
            setTabOrder(previous, m_butPathExport);
            previous = m_butPathExport;
        }
    }
}

void F_Einst::FillSourceCombos()
{
    for (int key = 0; key < ExportSettings::KeyCount; ++key) {
        auto *combo = qobject_cast<QComboBox *>(m_fields[key]);
        if (combo && key != ExportSettings::ZERTIFIZIERUNG
            && key != ExportSettings::ZERTIFIZIERUNGWB)
            FillSourceCombo(*combo);
    }
}

void F_Einst::FillSourceCombo(QComboBox &combo)
{
    combo.clear();
    const QString name = combo.objectName();
    if (name == QLatin1String("Cb_ZertifizierungsNrWB") || name == QLatin1String("Cb_SteuerNrWB"))
        combo.addItems(SourceColumns::ownerAccountColumns());
    else
        combo.addItems(SourceColumns::numberedColumns());
}

void F_Einst::Form_Load()
{
    FillSourceCombos();
    for (int key = 0; key < ExportSettings::KeyCount; ++key)
        setFieldText(m_fields[key], m_settings.value(ExportSettings::Key(key)));
    m_fields[ExportSettings::EXPORTPATH]->setFocus();
    m_loaded = true;
}

void F_Einst::Form_Unload()
{
    // Only what was shown is stored: a window closed before it was ever shown holds no values.
    if (!m_loaded)
        return;
    m_loaded = false;
    m_settings.setValue(ExportSettings::EXPORTPATH,
                        TextRules::trimBlanks(fieldText(m_fields[ExportSettings::EXPORTPATH])));
    for (int key = ExportSettings::BUNDESLAND; key < ExportSettings::KeyCount; ++key)
        m_settings.setValue(ExportSettings::Key(key), fieldText(m_fields[key]));
}

void F_Einst::showEvent(QShowEvent *event)
{
    KeepOpenDialog::showEvent(event);
    // A spontaneous show is the window coming back from the task bar, not an opening.
    if (!event->spontaneous())
        Form_Load();
}

void F_Einst::done(int result)
{
    const bool shown = m_loaded;
    Form_Unload();
    // The directory is taken over all the same: it may be a drive not connected yet.
    if (shown)
        warnOfMissingExportDirectory();
    KeepOpenDialog::done(result);
}

void F_Einst::warnOfMissingExportDirectory()
{
    const QString directory = m_settings.value(ExportSettings::EXPORTPATH);
    if (directory.isEmpty())
        ModalMessage::show(this, QStringLiteral("Es ist kein Exportverzeichnis eingetragen."));
    else if (!QFileInfo(directory).isDir())
        ModalMessage::show(
                this, QStringLiteral("Das Exportverzeichnis „%1“ gibt es nicht.").arg(directory));
}

void F_Einst::But_Schliessen_Click()
{
    close();
}

// The system's folder dialog, opened at the directory in the field when there is one; a
// missing one it would take for a folder's name to fill in.
void F_Einst::But_PathExport_Click()
{
    auto *edit = static_cast<QLineEdit *>(m_fields[ExportSettings::EXPORTPATH]);
    const QString current = TextRules::trimBlanks(edit->text());
    const QString chosen =
            QFileDialog::getExistingDirectory(this, QStringLiteral("Exportverzeichnis wählen"),
                                              QFileInfo(current).isDir() ? current : QString());
    if (chosen.isEmpty())
        return;
    edit->setText(QDir::toNativeSeparators(chosen));
    edit->setCursorPosition(0);
    edit->setFocus();
}
