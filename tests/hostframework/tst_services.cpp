#include "services/Consiste.h"
#include "services/Corvel.h"
#include "services/Exceptions.h"
#include "services/HostConfig.h"
#include "services/HostDisplays.h"
#include "services/SafeCall.h"
#include "services/TMessages.h"

#include "TestCa.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTest>

#include <stdexcept>

class tst_Services : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void cleanup();
    void emptyString_data();
    void emptyString();
    void replicate_data();
    void replicate();
    void ajusta_data();
    void ajusta();
    void checkResultServ_data();
    void checkResultServ();
    void checkResultServWithoutRaise();
    void mensErro();
    void messages_data();
    void messages();
    void hostConfig_data();
    void hostConfig();
    void hostConfigRefused_data();
    void hostConfigRefused();
    void hostConfigUnreadable();
    void hostConfigModulesBesideFile();
    void hostConfigTls_data();
    void hostConfigTls();
    void locateHonoursEnvironment();
    void corvelReadsCurrentConfig();
    void safeCall_data();
    void safeCall();
    void displaysWithoutHandlerLog();

private:
    QString writeIni(const QByteArray &text);
    QTemporaryDir m_dir;
    int m_files = 0;
};

void tst_Services::cleanup()
{
    HostDisplays::setMessageHandler({});
    HostDisplays::setErrorHandler({});
}

QString tst_Services::writeIni(const QByteArray &text)
{
    const QString path = m_dir.filePath(QStringLiteral("vex%1.ini").arg(++m_files));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(text) != text.size())
        qFatal("cannot write %s", qPrintable(path));
    return path;
}

void tst_Services::emptyString_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("empty");
    QTest::newRow("nothing") << "" << true;
    QTest::newRow("spaces") << "    " << true;
    QTest::newRow("untouched product mask") << "__.__.____" << true;
    QTest::newRow("blank product mask") << "  .  .    " << true;
    QTest::newRow("untouched date mask") << "__/__/____" << true;
    QTest::newRow("untouched time mask") << "--:--" << true;
    QTest::newRow("commas") << " , " << true;
    QTest::newRow("zero") << "0" << false;
    QTest::newRow("filled product mask") << "12.34.5678" << false;
    QTest::newRow("one digit in mask") << "_1.__.____" << false;
    QTest::newRow("letter between spaces") << "  a  " << false;
}

void tst_Services::emptyString()
{
    QFETCH(QString, text);
    QFETCH(bool, empty);
    QCOMPARE(Consiste::EmptyString(text), empty);
}

void tst_Services::replicate_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("count");
    QTest::addColumn<QString>("expected");
    QTest::newRow("three") << "Z" << 3 << "ZZZ";
    QTest::newRow("twenty") << "Z" << 20 << "ZZZZZZZZZZZZZZZZZZZZ";
    QTest::newRow("two chars") << "ab" << 2 << "abab";
    QTest::newRow("zero") << "Z" << 0 << "";
    QTest::newRow("negative") << "Z" << -5 << "";
    QTest::newRow("empty text") << "" << 4 << "";
}

void tst_Services::replicate()
{
    QFETCH(QString, text);
    QFETCH(int, count);
    QFETCH(QString, expected);
    QCOMPARE(Consiste::Replicate(text, count), expected);
}

void tst_Services::ajusta_data()
{
    QTest::addColumn<QString>("code");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("expected");
    QTest::newRow("one digit") << "1" << 4 << "0001";
    QTest::newRow("spaces around") << " 12 " << 4 << "0012";
    QTest::newRow("exact") << "0301" << 4 << "0301";
    QTest::newRow("longer kept whole") << "12345" << 4 << "12345";
    QTest::newRow("letters") << "ab" << 4 << "00ab";
    QTest::newRow("blank") << "   " << 4 << "0000";
    QTest::newRow("no width") << "7" << 0 << "7";
}

void tst_Services::ajusta()
{
    QFETCH(QString, code);
    QFETCH(int, width);
    QFETCH(QString, expected);
    QCOMPARE(Consiste::Ajusta(code, width), expected);
}

void tst_Services::checkResultServ_data()
{
    QTest::addColumn<TServerReply>("reply");
    QTest::addColumn<QString>("failure"); // "" when the packet must come back
    QTest::addColumn<int>("rows");

    const QJsonObject packet{
        {"fields",
         QJsonArray{QJsonObject{{"name", "CDFILSOLI"}, {"type", "string"}, {"size", 4}},
                    QJsonObject{{"name", "NMFILIAL"}, {"type", "string"}, {"size", 30}}}},
        {"rows", QJsonArray{QJsonArray{"0001", "Matriz"}, QJsonArray{"0002", "Filial"}}}};
    TServerReply good{true, packet, 0, {}};
    QTest::newRow("packet") << good << QString() << 2;

    TServerReply refused{false, {}, -32000, QStringLiteral("Filial não cadastrada.")};
    QTest::newRow("server message") << refused << QStringLiteral("Filial não cadastrada.") << 0;

    TServerReply silent{false, {}, -32601, QString()};
    QTest::newRow("no message") << silent
                                << QStringLiteral("O servidor de aplicação recusou a chamada "
                                                  "(código -32601).")
                                << 0;

    TServerReply text{true, QJsonValue("OK"), 0, {}};
    QTest::newRow("not a packet") << text << QStringLiteral("Pacote de dados inválido") << 0;

    QJsonObject badType = packet;
    badType["fields"] = QJsonArray{QJsonObject{{"name", "X"}, {"type", "blob"}}};
    badType["rows"] = QJsonArray();
    TServerReply bad{true, badType, 0, {}};
    QTest::newRow("unknown column type") << bad << QStringLiteral("Pacote de dados inválido")
                                         << 0;
}

void tst_Services::checkResultServ()
{
    QFETCH(TServerReply, reply);
    QFETCH(QString, failure);
    QFETCH(int, rows);

    try {
        const TDataPacket packet = Consiste::CheckResultServ(reply, true, 0);
        QVERIFY2(failure.isEmpty(), "a failure came back as a packet");
        QCOMPARE(packet.rows.size(), rows);
        QCOMPARE(packet.columnIndex(QStringLiteral("NMFILIAL")), 1);
    } catch (const EServerError &error) {
        QVERIFY2(!reply.ok, qPrintable(error.message()));
        QCOMPARE(error.message(), failure);
        QCOMPARE(error.code(), reply.errorCode);
    } catch (const EDataPacketError &error) {
        QVERIFY2(!failure.isEmpty() && error.message().startsWith(failure),
                 qPrintable(error.message()));
    }
}

void tst_Services::checkResultServWithoutRaise()
{
    const TServerReply refused{false, {}, -32000, QStringLiteral("x")};
    const TDataPacket packet = Consiste::CheckResultServ(refused, false, 0);
    QVERIFY(packet.fields.isEmpty());
    QVERIFY(packet.rows.isEmpty());
}

void tst_Services::mensErro()
{
    QStringList messages;
    QStringList errors;
    HostDisplays::setMessageHandler([&](const QString &text) { messages << text; });
    HostDisplays::setErrorHandler([&](const QString &text) { errors << text; });

    const bool ok =
        SafeCall([] { Consiste::MensErro(QStringLiteral("Informar o status."), true); });
    QVERIFY(!ok);
    QCOMPARE(messages, QStringList{QStringLiteral("Informar o status.")});
    QVERIFY(errors.isEmpty()); // the abort itself is silent
}

void tst_Services::messages_data()
{
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("expected");

    const QStringList table{"ED|Em digitação", "EDX|Outro", "Get_Data|Buscando filiais...",
                            "A|x|y", "B|", "K|primeiro", "K|segundo", "sem barra"};
    QTest::newRow("plain") << table << "ED" << "Em digitação";
    QTest::newRow("longer key not a prefix match") << table << "EDX" << "Outro";
    QTest::newRow("prefix of a key") << table << "E" << "";
    QTest::newRow("case matters") << table << "ed" << "";
    QTest::newRow("bar in text") << table << "A" << "x|y";
    QTest::newRow("empty text") << table << "B" << "";
    QTest::newRow("first line wins") << table << "K" << "primeiro";
    QTest::newRow("own table first") << table << "Get_Data" << "Buscando filiais...";
    QTest::newRow("line without bar") << table << "sem barra" << "";
    QTest::newRow("framework Get_Data") << QStringList() << "Get_Data" << "Buscando dados...";
    QTest::newRow("framework Aguarde") << table << "Aguarde" << "Aguarde...";
    QTest::newRow("unknown") << table << "Nada" << "";
}

void tst_Services::messages()
{
    QFETCH(QStringList, lines);
    QFETCH(QString, key);
    QFETCH(QString, expected);
    QCOMPARE(TMessages(lines).Msg(key), expected);
}

void tst_Services::hostConfig_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("host");
    QTest::addColumn<int>("port");
    QTest::addColumn<int>("timeout");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("picture0");
    QTest::addColumn<QString>("picture3");

    const QString defaultMask = QStringLiteral("99.99.9999;0;_");
    QTest::newRow("empty file") << QByteArray() << "127.0.0.1" << 7300 << 30000 << ""
                                << defaultMask << "";
    QTest::newRow("full") << QByteArray("[Server]\nHost=srv.local\nPort=7400\n"
                                        "CallTimeoutMs=1500\n[Database]\n"
                                        "Url=sqlite:/var/vex/vex.db\n[Pictures]\n"
                                        "0=99.99.9999;0;_        ; product code\n")
                          << "srv.local" << 7400 << 1500 << "sqlite:/var/vex/vex.db"
                          << defaultMask << "";
    QTest::newRow("quoted mask keeps space") << QByteArray("[Pictures]\n0=\">aaaa;0; \"\n")
                                             << "127.0.0.1" << 7300 << 30000 << ""
                                             << ">aaaa;0; " << "";
    QTest::newRow("quoted mask then comment")
        << QByteArray("[Pictures]\n3 = \" 99;0;_\"   ; with a leading blank\n") << "127.0.0.1"
        << 7300 << 30000 << "" << defaultMask << " 99;0;_";
    QTest::newRow("semicolon without space kept")
        << QByteArray("[Pictures]\n3=99;0;_\n") << "127.0.0.1" << 7300 << 30000 << ""
        << defaultMask << "99;0;_";
    QTest::newRow("tab comment") << QByteArray("[Server]\nHost=h1\t; note\n") << "h1" << 7300
                                 << 30000 << "" << defaultMask << "";
    QTest::newRow("comments, CRLF, BOM")
        << QByteArray("\xef\xbb\xbf; vex\r\n# host\r\n\r\n[Server]\r\nPort = 7301 \r\n")
        << "127.0.0.1" << 7301 << 30000 << "" << defaultMask << "";
    QTest::newRow("names ignore case") << QByteArray("[server]\nHOST=abc\nport=1\n") << "abc"
                                       << 1 << 30000 << "" << defaultMask << "";
    QTest::newRow("unknown keys ignored")
        << QByteArray("[Other]\nX=1\n[Server]\nColour=blue\n") << "127.0.0.1" << 7300 << 30000
        << "" << defaultMask << "";
    QTest::newRow("postgres url with semicolon")
        << QByteArray("[Database]\nUrl=\"postgresql://vex:p;w@db:5433/vex\"\n") << "127.0.0.1"
        << 7300 << 30000 << "postgresql://vex:p;w@db:5433/vex" << defaultMask << "";
}

void tst_Services::hostConfig()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, host);
    QFETCH(int, port);
    QFETCH(int, timeout);
    QFETCH(QString, url);
    QFETCH(QString, picture0);
    QFETCH(QString, picture3);

    const HostConfig config = HostConfig::fromFile(writeIni(text));
    QCOMPARE(config.serverHost, host);
    QCOMPARE(config.serverPort, port);
    QCOMPARE(config.callTimeoutMs, timeout);
    QCOMPARE(config.databaseUrl, url);
    QCOMPARE(config.picture(0), picture0);
    QCOMPARE(config.picture(3), picture3);
}

void tst_Services::hostConfigRefused_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<int>("line");
    QTest::addColumn<QString>("fragment");

    QTest::newRow("port zero") << QByteArray("[Server]\nPort=0\n") << 2 << "\"Port\"";
    QTest::newRow("port too big") << QByteArray("[Server]\n\nPort=70000\n") << 3 << "\"Port\"";
    QTest::newRow("port text") << QByteArray("[Server]\nPort=sete\n") << 2 << "\"Port\"";
    QTest::newRow("timeout zero") << QByteArray("[Server]\nCallTimeoutMs=0\n") << 2
                                  << "\"CallTimeoutMs\"";
    QTest::newRow("timeout negative") << QByteArray("[Server]\nCallTimeoutMs=-5\n") << 2
                                      << "\"CallTimeoutMs\"";
    QTest::newRow("empty host") << QByteArray("[Server]\nHost=\n") << 2 << "\"Host\"";
    QTest::newRow("picture key") << QByteArray("[Pictures]\nprod=99\n") << 2 << "\"prod\"";
    QTest::newRow("no equals") << QByteArray("[Server]\nHost\n") << 2 << "chave=valor";
    QTest::newRow("key outside section") << QByteArray("Host=x\n") << 1 << "seção";
    QTest::newRow("open section") << QByteArray("[Server\n") << 1 << "seção";
    QTest::newRow("unclosed quote") << QByteArray("[Pictures]\n0=\"99;0;_\n") << 2 << "aspas";
    QTest::newRow("text after quote") << QByteArray("[Pictures]\n0=\"99\"x\n") << 2 << "aspas";
}

void tst_Services::hostConfigRefused()
{
    QFETCH(QByteArray, text);
    QFETCH(int, line);
    QFETCH(QString, fragment);

    const QString path = writeIni(text);
    try {
        HostConfig::fromFile(path);
        QFAIL("a bad file was accepted");
    } catch (const EVexError &error) {
        const QString message = error.message();
        QVERIFY2(message.contains(path), qPrintable(message));
        QVERIFY2(message.contains(QStringLiteral("linha %1").arg(line)), qPrintable(message));
        QVERIFY2(message.contains(fragment), qPrintable(message));
    }
}

void tst_Services::hostConfigUnreadable()
{
    for (const QString &path : {m_dir.filePath("absent.ini"), m_dir.path()}) {
        try {
            HostConfig::fromFile(path);
            QFAIL(qPrintable("read " + path));
        } catch (const EVexError &error) {
            QVERIFY2(error.message().contains(path), qPrintable(error.message()));
        }
    }
}

void tst_Services::hostConfigModulesBesideFile()
{
    const QString path = writeIni("[Host]\nModules=mods/../plugins\n");
    const HostConfig config = HostConfig::fromFile(path);
    QCOMPARE(config.modulesDir, QDir(m_dir.path()).absoluteFilePath("plugins"));
    const QString absolute = writeIni("[Host]\nModules=/opt/vex/modules\n");
    QCOMPARE(HostConfig::fromFile(absolute).modulesDir, QStringLiteral("/opt/vex/modules"));
}

// The CA file is read when vex.ini is, so that a wrong path or a file that
// is no certificate is said at start, not at the first call.
void tst_Services::hostConfigTls_data()
{
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected"); // the CA path taken, or a fragment of the error

    QString error;
    TestCa ca;
    if (!TestCa::make(m_dir.path(), "cfg", &ca, &error))
        qFatal("%s", qPrintable(error));
    const QByteArray caName = QFileInfo(ca.caCert).fileName().toUtf8();
    writeIni("não é um certificado\n"); // vex<n>.ini, named below
    const QByteArray notPem = QFileInfo(m_dir.filePath(QStringLiteral("vex%1.ini").arg(m_files)))
                                  .fileName()
                                  .toUtf8();
    QTest::newRow("off by default") << QByteArray("[Server]\nHost=h\n") << QString();
    QTest::newRow("CA beside the file")
        << QByteArray("[Server]\nTls=TRUE\nCaFile=" + caName + "\n") << ca.caCert;
    QTest::newRow("Tls=1, system authorities") << QByteArray("[Server]\nTls=1\n") << QString();
    QTest::newRow("Tls not a boolean") << QByteArray("[Server]\nTls=sim\n")
                                       << "\"Tls\" da seção [Server] deve ser true ou false";
    QTest::newRow("CA missing") << QByteArray("[Server]\nTls=true\nCaFile=nada.pem\n")
                                << "linha 3: a chave \"CaFile\" da seção [Server] aponta para "
                                   "um arquivo que não pode ser lido";
    QTest::newRow("CA holds no certificate")
        << QByteArray("[Server]\nTls=true\nCaFile=" + notPem + "\n")
        << "aponta para um arquivo sem nenhum certificado PEM";
    QTest::newRow("CA without Tls") << QByteArray("[Server]\nCaFile=" + caName + "\n")
                                    << "\"CaFile\" da seção [Server] exige Tls=true";
}

void tst_Services::hostConfigTls()
{
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const QString path = writeIni(text);
    try {
        const HostConfig config = HostConfig::fromFile(path);
        QCOMPARE(config.serverCaFile, expected);
        QCOMPARE(config.serverTls, text.contains("Tls="));
    } catch (const EVexError &error) {
        QVERIFY2(error.message().contains(expected) && error.message().contains(path),
                 qPrintable(error.message()));
        QVERIFY(!expected.startsWith(u'/'));
    }
}

void tst_Services::locateHonoursEnvironment()
{
    const QByteArray old = qgetenv("VEX_CONFIG");
    const QString absent = m_dir.filePath("nowhere/vex.ini");
    qputenv("VEX_CONFIG", absent.toLocal8Bit());
    const QString located = HostConfig::locate();
    if (old.isNull())
        qunsetenv("VEX_CONFIG");
    else
        qputenv("VEX_CONFIG", old);
    // A file named on purpose is reported when missing, not replaced.
    QCOMPARE(located, absent);
}

void tst_Services::corvelReadsCurrentConfig()
{
    HostConfig config;
    config.serverHost = QStringLiteral("app.example");
    config.serverPort = 7555;
    HostConfig::setCurrent(config);
    QCOMPARE(Corvel::WebURL(), QStringLiteral("app.example"));
    QCOMPARE(Corvel::WebPort(), 7555);
    QCOMPARE(Corvel::DBPict(TPictType::ptProduto), QStringLiteral("99.99.9999;0;_"));

    config.pictures.insert(0, QStringLiteral(">aaaa;0; "));
    HostConfig::setCurrent(config);
    QCOMPARE(Corvel::DBPict(TPictType::ptProduto), QStringLiteral(">aaaa;0; "));
}

enum class Thrown { Nothing, Abort, VexError, ServerError, Cancelled, StdException, Other };

void tst_Services::safeCall_data()
{
    QTest::addColumn<Thrown>("thrown");
    QTest::addColumn<bool>("result");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("nothing") << Thrown::Nothing << true << QStringList();
    QTest::newRow("abort") << Thrown::Abort << false << QStringList();
    QTest::newRow("framework error") << Thrown::VexError << false
                                     << QStringList{"Falha na leitura."};
    QTest::newRow("server error") << Thrown::ServerError << false
                                  << QStringList{"Filial não cadastrada."};
    QTest::newRow("the user's cancel") << Thrown::Cancelled << false
                                       << QStringList{"(i) Operação cancelada pelo usuário."};
    QTest::newRow("std exception") << Thrown::StdException << false
                                   << QStringList{"vector::at: índice"};
    QTest::newRow("anything else") << Thrown::Other << false
                                   << QStringList{"Erro inesperado."};
}

void tst_Services::safeCall()
{
    QFETCH(Thrown, thrown);
    QFETCH(bool, result);
    QFETCH(QStringList, shown);

    QStringList errors;
    HostDisplays::setErrorHandler([&](const QString &text) { errors << text; });
    HostDisplays::setInformationHandler([&](const QString &text) { errors << "(i) " + text; });
    const bool ok = SafeCall([thrown] {
        switch (thrown) {
        case Thrown::Nothing:
            return;
        case Thrown::Abort:
            throw EAbort();
        case Thrown::VexError:
            throw EVexError(QStringLiteral("Falha na leitura."));
        case Thrown::ServerError:
            throw EServerError(-32000, QStringLiteral("Filial não cadastrada."));
        case Thrown::Cancelled:
            throw ECallCancelled();
        case Thrown::StdException:
            throw std::out_of_range("vector::at: índice");
        case Thrown::Other:
            throw 42;
        }
    });
    HostDisplays::setInformationHandler({});
    QCOMPARE(ok, result);
    QCOMPARE(errors, shown);
}

void tst_Services::displaysWithoutHandlerLog()
{
    QTest::ignoreMessage(QtWarningMsg, "Erro: Sem janela.");
    HostDisplays::showError(QStringLiteral("Sem janela."));
    QTest::ignoreMessage(QtWarningMsg, "Aviso sem janela.");
    HostDisplays::showMessage(QStringLiteral("Aviso sem janela."));
}

QTEST_GUILESS_MAIN(tst_Services)
#include "tst_services.moc"
