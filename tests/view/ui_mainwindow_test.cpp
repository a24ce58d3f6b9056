// The form of the progress window: tree, names, geometry, fonts, texts.

#include "ViewTestSupport.h"
#include "ui_mainwindow.h"

#include <QApplication>
#include <QBoxLayout>
#include <QLabel>
#include <QMainWindow>
#include <QPointer>
#include <QProgressBar>
#include <QSpacerItem>
#include <QStackedWidget>
#include <QtTest>

#include <memory>

namespace
{

const QString warningText = QStringLiteral(
    "During software installation DO NOT REMOVE the SD card or power down \n the unit.  It is "
    "possible that the unit will be rendered inoperable if you  perform either of those actions "
    "during software installation.");

bool spacerIs(QLayoutItem* item, QSpacerItem* spacer, QSize hint, QSizePolicy::Policy horizontal,
              QSizePolicy::Policy vertical)
{
    return item == spacer && spacer->sizeHint() == hint &&
           spacer->sizePolicy().horizontalPolicy() == horizontal &&
           spacer->sizePolicy().verticalPolicy() == vertical;
}

} // namespace

class FormTest : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        window.reset(new QMainWindow);
        form.reset(new Ui::MainWindow);
        form->setupUi(window.get());
    }
    void cleanup()
    {
        form.reset();
        window.reset();
    }

    void aWindowWithoutNameIsNamedMainWindowAndTitledMainWindow()
    {
        QCOMPARE(window->objectName(), QStringLiteral("MainWindow"));
        QCOMPARE(window->windowTitle(), QStringLiteral("MainWindow"));
    }

    void anExistingObjectNameIsKept()
    {
        QMainWindow named;
        named.setObjectName(QStringLiteral("installerWindow"));
        Ui::MainWindow namedForm;
        namedForm.setupUi(&named);
        QCOMPARE(named.objectName(), QStringLiteral("installerWindow"));
    }

    void everyObjectHasItsNameAndParent()
    {
        struct Node {
            QObject* object;
            QObject* parent;
            const char* name;
        };
        const Node tree[] = {
            {form->centralWidget, window.get(), "centralWidget"},
            {form->stackedWidget, form->centralWidget, "stackedWidget"},
            {form->InstallationPage, form->stackedWidget, "InstallationPage"},
            {form->verticalLayoutWidget, form->InstallationPage, "verticalLayoutWidget"},
            {form->verticalLayout, form->verticalLayoutWidget, "verticalLayout"},
            {form->TitleLabel, form->verticalLayoutWidget, "TitleLabel"},
            {form->TextLabel, form->verticalLayoutWidget, "TextLabel"},
            {form->labelPercentage, form->verticalLayoutWidget, "labelPercentage"},
            {form->horizontalLayout, form->verticalLayout, "horizontalLayout"},
            {form->progressBarPercentage, form->verticalLayoutWidget, "progressBarPercentage"},
            {form->InstallationCompletePage, form->stackedWidget, "InstallationCompletePage"},
            {form->label_3, form->InstallationCompletePage, "label_3"},
        };
        for (const Node& node : tree) {
            QCOMPARE(node.object->objectName(), QLatin1String(node.name));
            QVERIFY2(node.object->parent() == node.parent, node.name);
        }
        QCOMPARE(window->centralWidget(), form->centralWidget);
        QCOMPARE(form->verticalLayoutWidget->layout(), form->verticalLayout);
    }

    void theStackHoldsTheTwoPagesWithTheInstallationPageShown()
    {
        QCOMPARE(form->stackedWidget->count(), 2);
        QCOMPARE(form->stackedWidget->widget(0), form->InstallationPage);
        QCOMPARE(form->stackedWidget->widget(1), form->InstallationCompletePage);
        QCOMPARE(form->stackedWidget->currentIndex(), 0);
    }

    void pageZeroReadsTopToBottomAsDesigned()
    {
        QVBoxLayout* column = form->verticalLayout;
        QCOMPARE(column->count(), 7);
        QVERIFY(spacerIs(column->itemAt(0), form->verticalSpacer_3, QSize(20, 40),
                         QSizePolicy::Minimum, QSizePolicy::Expanding));
        QCOMPARE(column->itemAt(1)->widget(), form->TitleLabel);
        QCOMPARE(column->itemAt(2)->widget(), form->TextLabel);
        QVERIFY(spacerIs(column->itemAt(3), form->verticalSpacer_2, QSize(20, 40),
                         QSizePolicy::Minimum, QSizePolicy::Expanding));
        QCOMPARE(column->itemAt(4)->widget(), form->labelPercentage);
        QCOMPARE(column->itemAt(5)->layout(), form->horizontalLayout);
        QVERIFY(spacerIs(column->itemAt(6), form->verticalSpacer, QSize(20, 40),
                         QSizePolicy::Minimum, QSizePolicy::Fixed));
        for (int index = 0; index < column->count(); ++index) {
            QCOMPARE(column->stretch(index), 0);
            QCOMPARE(int(column->itemAt(index)->alignment()), 0);
        }
    }

    void theProgressBarRowHasFixedMarginsOnBothSides()
    {
        QHBoxLayout* row = form->horizontalLayout;
        QCOMPARE(row->count(), 3);
        QVERIFY(spacerIs(row->itemAt(0), form->horizontalSpacer, QSize(40, 20), QSizePolicy::Fixed,
                         QSizePolicy::Minimum));
        QCOMPARE(row->itemAt(1)->widget(), form->progressBarPercentage);
        QVERIFY(spacerIs(row->itemAt(2), form->horizontalSpacer_2, QSize(40, 20),
                         QSizePolicy::Fixed, QSizePolicy::Minimum));
        QCOMPARE(row->spacing(), 6);
    }

    void theColumnHasNoMarginsAndKeepsItsSizeBetweenMinimumAndMaximum()
    {
        QCOMPARE(form->verticalLayout->spacing(), 6);
        QCOMPARE(form->verticalLayout->contentsMargins(), QMargins(0, 0, 0, 0));
        QCOMPARE(form->verticalLayout->sizeConstraint(), QLayout::SetMinAndMaxSize);
    }

    void geometryFitsTheSmallDisplay()
    {
        QCOMPARE(window->size(), QSize(479, 272));
        QCOMPARE(form->stackedWidget->geometry(), QRect(7, 0, 479, 272));
        QCOMPARE(form->verticalLayoutWidget->geometry(), QRect(0, 0, 471, 261));
        QCOMPARE(form->label_3->geometry(), QRect(60, 30, 341, 141));
    }

    void retranslateUiRestoresTheTexts()
    {
        form->TitleLabel->setText(QStringLiteral("changed"));
        form->labelPercentage->setText(QStringLiteral("42%"));
        window->setWindowTitle(QStringLiteral("changed"));
        form->retranslateUi(window.get());
        QCOMPARE(form->TitleLabel->text(), viewtest::designedTitle);
        QCOMPARE(form->labelPercentage->text(), QStringLiteral("0%"));
        QCOMPARE(window->windowTitle(), QStringLiteral("MainWindow"));
    }

    void labelTextsAreTheDesignedOnes()
    {
        QCOMPARE(form->TitleLabel->text(), viewtest::designedTitle);
        QCOMPARE(form->TextLabel->text(), warningText);
        QCOMPARE(form->TextLabel->text().size(), 208);
        QCOMPARE(form->labelPercentage->text(), QStringLiteral("0%"));
        QCOMPARE(form->label_3->text(), viewtest::completionText);
    }

    void labelsAreCentredAndLongTextsWrap()
    {
        for (QLabel* label :
             {form->TitleLabel, form->TextLabel, form->labelPercentage, form->label_3})
            QCOMPARE(label->alignment(), Qt::Alignment(Qt::AlignCenter));
        QVERIFY(form->TextLabel->wordWrap());
        QVERIFY(form->label_3->wordWrap());
        QVERIFY(!form->TitleLabel->wordWrap());
        QVERIFY(!form->labelPercentage->wordWrap());
    }

    // The font named in the form must also be one the machine has, or the
    // title is drawn in a substitute of other widths.
    void theTitleIsDejaVuSansAt25PointsAndInstalled()
    {
        const QFont font = form->TitleLabel->font();
        QCOMPARE(font.family(), QStringLiteral("DejaVu Sans"));
        QCOMPARE(font.pointSize(), 25);
        QVERIFY(!font.bold());
        QVERIFY(!font.italic());
        QCOMPARE(QFontInfo(font).family(), QStringLiteral("DejaVu Sans"));
    }

    // The completion text has a size of its own; the warning and the
    // percentage keep the default font.
    void theOtherTextsUseTheDefaultFamily()
    {
        const QFont font = form->label_3->font();
        QCOMPARE(font.family(), QApplication::font(form->label_3).family());
        QCOMPARE(font.pointSize(), 25);
        QVERIFY(!font.bold());
        for (QLabel* label : {form->TextLabel, form->labelPercentage}) {
            QCOMPARE(label->font(), QApplication::font(label));
            QVERIFY(!label->testAttribute(Qt::WA_SetFont));
        }
    }

    void theProgressBarDrawsNoTextOfItsOwnAndStartsEmpty()
    {
        QProgressBar* bar = form->progressBarPercentage;
        QCOMPARE(bar->value(), 0);
        QVERIFY(!bar->isTextVisible());
        QVERIFY(!bar->invertedAppearance());
        QCOMPARE(bar->textDirection(), QProgressBar::TopToBottom);
        QCOMPARE(bar->minimum(), 0);
        QCOMPARE(bar->maximum(), 100);
    }

    void theFormOwnsNoneOfTheWidgets()
    {
        QPointer<QLabel> title = form->TitleLabel;
        QPointer<QWidget> completePage = form->InstallationCompletePage;
        form.reset();
        QVERIFY(!title.isNull());
        QVERIFY(!completePage.isNull());
        QCOMPARE(window->findChild<QLabel*>(QStringLiteral("label_3"))->text(),
                 viewtest::completionText);
        window.reset();
        QVERIFY(title.isNull());
        QVERIFY(completePage.isNull());
    }

private:
    std::unique_ptr<QMainWindow> window;
    std::unique_ptr<Ui::MainWindow> form;
};

QTEST_MAIN(FormTest)
#include "ui_mainwindow_test.moc"
