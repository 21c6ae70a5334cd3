#include "client/videomodel/QnLynVideoModel.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QtTest>

class TestQnLynVideoModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void passesModelTester();
    void roleNames();
    void dataByRole_data();
    void dataByRole();
    void addRemove_data();
    void addRemove();
    void standardRolesGiveNothing();
};

namespace {
QnLynVideoItem item(const QString &id, const QString &name = QStringLiteral("peer"), bool desktop = false)
{
    QnLynVideoItem i;
    i.id = id;
    i.name = name;
    i.desktop = desktop;
    return i;
}

QStringList ids(const QnLynVideoModel &m)
{
    QStringList out;
    for (int r = 0; r < m.rowCount(); ++r)
        out << m.data(m.index(r), QnLynVideoModel::IdRole).toString();
    return out;
}
} // namespace

void TestQnLynVideoModel::passesModelTester()
{
    QnLynVideoModel model;
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::QtTest);
    model.addItem(item("a", "Alice"));
    model.addItem(item("b", "Bob", true));
    model.addItem(item("a", "again"));
    model.removeItem("a");
    model.removeItem("absent");
    model.addItem(item("c"));
    model.removeItem("b");
    model.removeItem("c");
    QCOMPARE(model.rowCount(), 0);
}

void TestQnLynVideoModel::roleNames()
{
    QnLynVideoModel model;
    const QHash<int, QByteArray> names = model.roleNames();
    const QHash<int, QByteArray> expected{
        {QnLynVideoModel::IdRole, "vID"},        {QnLynVideoModel::NameRole, "vName"},
        {QnLynVideoModel::TypeRole, "vType"},    {QnLynVideoModel::RotateRole, "vRotate"},
        {QnLynVideoModel::FullRole, "vFull"},    {QnLynVideoModel::WidthRole, "vWidth"},
        {QnLynVideoModel::HeightRole, "vHeight"}};
    QCOMPARE(names, expected);
    // The two flags are readable by number only.
    QVERIFY(!names.contains(QnLynVideoModel::ExtraFlagRole));
    QVERIFY(!names.contains(QnLynVideoModel::DesktopRole));
    for (int role : names.keys())
        QVERIFY(role > Qt::UserRole);
}

void TestQnLynVideoModel::dataByRole_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("role");
    QTest::addColumn<QVariant>("value");
    QTest::newRow("id") << 1 << int(QnLynVideoModel::IdRole) << QVariant("b");
    QTest::newRow("name") << 1 << int(QnLynVideoModel::NameRole) << QVariant("Bob");
    QTest::newRow("type") << 1 << int(QnLynVideoModel::TypeRole) << QVariant(1);
    QTest::newRow("rotate") << 1 << int(QnLynVideoModel::RotateRole) << QVariant(0);
    QTest::newRow("full") << 1 << int(QnLynVideoModel::FullRole) << QVariant(false);
    QTest::newRow("extra flag") << 1 << int(QnLynVideoModel::ExtraFlagRole) << QVariant(false);
    QTest::newRow("desktop") << 1 << int(QnLynVideoModel::DesktopRole) << QVariant(true);
    QTest::newRow("width") << 1 << int(QnLynVideoModel::WidthRole) << QVariant(-1);
    QTest::newRow("height") << 1 << int(QnLynVideoModel::HeightRole) << QVariant(-1);
    QTest::newRow("role after the last") << 1 << int(QnLynVideoModel::HeightRole) + 1 << QVariant();
    QTest::newRow("row -1") << -1 << int(QnLynVideoModel::IdRole) << QVariant();
    QTest::newRow("row past the end") << 2 << int(QnLynVideoModel::IdRole) << QVariant();
}

void TestQnLynVideoModel::dataByRole()
{
    QFETCH(int, row);
    QFETCH(int, role);
    QFETCH(QVariant, value);
    QnLynVideoModel model;
    model.addItem(item("a", "Alice"));
    model.addItem(item("b", "Bob", true));
    // index() refuses rows outside the list; build the index the way a stale view might.
    const QModelIndex idx = (row >= 0 && row < model.rowCount()) ? model.index(row) : QModelIndex();
    QCOMPARE(model.data(idx, role), value);
}

void TestQnLynVideoModel::addRemove_data()
{
    QTest::addColumn<QStringList>("ops"); // "+id[:name]" adds, "-id" removes
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("notices"); // insert + remove notifications
    QTest::addColumn<QString>("firstName");
    QTest::newRow("duplicate add keeps the first")
        << QStringList{"+a:first", "+a:second"} << QStringList{"a"} << 1 << "first";
    QTest::newRow("append order") << QStringList{"+a", "+b", "+c"} << QStringList{"a", "b", "c"} << 3
                                  << "peer";
    QTest::newRow("remove middle") << QStringList{"+a", "+b", "+c", "-b"} << QStringList{"a", "c"} << 4
                                   << "peer";
    QTest::newRow("remove absent: no signal") << QStringList{"+a", "-zz"} << QStringList{"a"} << 1 << "peer";
    QTest::newRow("remove from empty") << QStringList{"-a"} << QStringList{} << 0 << "";
    QTest::newRow("remove twice") << QStringList{"+a", "-a", "-a"} << QStringList{} << 2 << "";
    QTest::newRow("empty id is an id") << QStringList{"+", "+"} << QStringList{""} << 1 << "peer";
}

void TestQnLynVideoModel::addRemove()
{
    QFETCH(QStringList, ops);
    QFETCH(QStringList, rows);
    QFETCH(int, notices);
    QFETCH(QString, firstName);
    QnLynVideoModel model;
    QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
    QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
    QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
    for (const QString &op : ops) {
        const QString arg = op.mid(1);
        if (op.startsWith('+')) {
            const QStringList parts = arg.split(':');
            model.addItem(parts.size() > 1 ? item(parts[0], parts[1]) : item(parts[0]));
        } else {
            model.removeItem(arg);
        }
    }
    QCOMPARE(ids(model), rows);
    QCOMPARE(inserted.count() + removed.count(), notices);
    QCOMPARE(reset.count(), 0);
    if (!rows.isEmpty())
        QCOMPARE(model.data(model.index(0), QnLynVideoModel::NameRole).toString(), firstName);
}

void TestQnLynVideoModel::standardRolesGiveNothing()
{
    // Views and delegates that read display, font, alignment or colour roles get nothing.
    QnLynVideoModel model;
    model.addItem(item("a", "Alice", true));
    for (int role = 0; role < Qt::UserRole; ++role)
        QVERIFY2(!model.data(model.index(0), role).isValid(), qPrintable(QString::number(role)));
}

QTEST_GUILESS_MAIN(TestQnLynVideoModel)
#include "tst_qnlynvideomodel.moc"
