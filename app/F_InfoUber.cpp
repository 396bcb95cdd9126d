#include "app/F_InfoUber.h"

#include "base/Version.h"
#include "ui/Twips.h"
#include "ui/WindowFont.h"

#include <QGroupBox>
#include <QLabel>
#include <QShowEvent>

const char F_InfoUber::MakerName[] = "Lindavex Software";

namespace {

// A picture stretched to its control, as the layout sizes it.
QLabel *picture(const QString &resource, const QRect &geometry, QWidget *parent)
{
    auto *label = new QLabel(parent);
    label->setPixmap(QPixmap(resource));
    label->setScaledContents(true);
    label->setGeometry(geometry);
    return label;
}

} // namespace

F_InfoUber::F_InfoUber(QWidget *parent) : KeepOpenDialog(parent)
{
    // The pictures live in a static library, whose resources are registered by hand.
    static const bool resourcesRegistered = [] {
        Q_INIT_RESOURCE(about);
        return true;
    }();
    Q_UNUSED(resourcesRegistered);
    buildControls();
}

F_InfoUber::~F_InfoUber() = default;

void F_InfoUber::buildControls()
{
    const QString maker = QString::fromUtf8(MakerName);
    setWindowTitle(QStringLiteral("Info über Lindavex Pro by ") + maker);
    setFont(WindowFont::standard());
    setFixedSize(Twips::size(5970, 3435));

    auto *frame = new QGroupBox(QStringLiteral("Software-Version"), this);
    frame->setObjectName(QStringLiteral("Fr_InfoUber"));
    frame->setGeometry(Twips::rect(120, 240, 5775, 3135));

    auto *title = new QLabel(
            QStringLiteral("Datenexport von Lindavex Pro - 32 / Firma Brettholm Massivholz"),
            frame);
    title->setObjectName(QStringLiteral("Label1"));
    title->setGeometry(Twips::rect(240, 360, 5415, 255));
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);

    m_lbVersion = new QLabel(frame);
    m_lbVersion->setObjectName(QStringLiteral("LbVersion"));
    m_lbVersion->setGeometry(Twips::rect(4800, 600, 855, 255));

    picture(QStringLiteral(":/about/forest.png"), Twips::rect(240, 720, 2310, 2310), frame)
            ->setObjectName(QStringLiteral("Image1"));

    auto *notice = new QLabel(QStringLiteral("© ") + maker, frame);
    notice->setObjectName(QStringLiteral("Label2"));
    notice->setGeometry(Twips::rect(3120, 2160, 2415, 255));

    picture(QStringLiteral(":/about/banner.png"), Twips::rect(2880, 2520, 2760, 510), frame)
            ->setObjectName(QStringLiteral("Image2"));
}

void F_InfoUber::Form_Load()
{
    m_lbVersion->setText(QStringLiteral("Version ") + Version::text());
}

void F_InfoUber::showEvent(QShowEvent *event)
{
    KeepOpenDialog::showEvent(event);
    // A spontaneous show is the window coming back from the task bar, not an opening.
    if (!event->spontaneous())
        Form_Load();
}
