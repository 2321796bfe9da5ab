// Builds a small catalogue base for a test: product rows in the demo catalogue's
// columns (and a remark column), written as a product table and run through the base
// builder into a temporary folder that lives as long as the object. The schema is the
// demo catalogue's unless the test gives its own.
#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <string>

#include "run_build.h"
#include "demo_catalog.h"

// Builds the demo catalogue's first count products into a base in out_dir (which
// must not exist yet, or hold only base files). False with a message.
inline bool BuildDemoBase(const QString& out_dir, int count, QString* error) {
  QTemporaryDir source;
  std::string table_path, schema_path, why;
  if (!source.isValid() ||
      !lodex::build::WriteDemoCatalog(static_cast<uint64_t>(count), 1, source.path().toStdString(),
                                      &table_path, &schema_path, &why)) {
    *error = QString::fromStdString(why);
    return false;
  }
  lodex::build::BuildRequest request;
  request.schema_path = schema_path;
  request.table_path = table_path;
  request.out_dir = out_dir.toStdString();
  lodex::build::BuildSummary summary;
  if (lodex::build::RunBuild(request, &summary, &why) != lodex::build::kExitOk) {
    *error = QString::fromStdString(why);
    return false;
  }
  return true;
}

struct TDemoProduct {
  QString text;
  QString type_number;
  QString el_number;
  QString ean;
  QString price;
  QString discount;
  QString table = QStringLiteral("VARER");
  QString remark = QString();  // column "Bemærkning", which only a schema of the test's own uses
};

// Twenty cables "Installationskabel hvid 1m" to "20m" (type numbers IK000 to IK019,
// prices 0,50 to 19,50) with the discount code cable_code, and two sockets whose texts
// differ only in the joiner: "Stikkontakt AB-CD hvid" (SK1, 12,5) and "Stikkontakt ABXD
// sort" (SK2, 99).
inline QList<TDemoProduct> CablesAndSockets(const QString& cable_code, const QString& sk1_code,
                                            const QString& sk2_code) {
  QList<TDemoProduct> products;
  for (int k = 0; k < 20; ++k) {
    products.append({QStringLiteral("Installationskabel hvid %1m").arg(k + 1),
                     QStringLiteral("IK%1").arg(k, 3, 10, QLatin1Char('0')),
                     QStringLiteral("10 000 %1").arg(k, 2, 10, QLatin1Char('0')),
                     QStringLiteral("57000000000%1").arg(k, 2, 10, QLatin1Char('0')),
                     QStringLiteral("%1,50").arg(k), cable_code});
  }
  products.append({QStringLiteral("Stikkontakt AB-CD hvid"), QStringLiteral("SK1"),
                   QStringLiteral("20 000 01"), QStringLiteral("5711111111111"),
                   QStringLiteral("12,5"), sk1_code});
  products.append({QStringLiteral("Stikkontakt ABXD sort"), QStringLiteral("SK2"),
                   QStringLiteral("20 000 02"), QStringLiteral("5722222222222"),
                   QStringLiteral("99"), sk2_code});
  return products;
}

class TDemoBase {
 public:
  // Builds the base; Error() says why when Path() is empty.
  explicit TDemoBase(const QList<TDemoProduct>& products,
                     const std::string& schema_json = lodex::build::DemoSchemaJson()) {
    if (!dir_.isValid()) {
      error_ = QStringLiteral("no temporary folder");
      return;
    }
    const QString schema_path = dir_.filePath(QStringLiteral("schema.json"));
    const QString table_path = dir_.filePath(QStringLiteral("products.tsv"));
    QFile schema(schema_path);
    if (!schema.open(QIODevice::WriteOnly)) return;
    schema.write(QByteArray::fromStdString(schema_json));
    schema.close();
    QByteArray table =
        "Tabel\tVaretekst\tTypenr\tEl.nr.\tEAN\tBruttopris\tRabatkode\tLeverandør\tEnhed\tBemærkning\n";
    for (const TDemoProduct& p : products) {
      // A remark of several lines goes in quotes.
      QString remark = p.remark;
      if (remark.contains(QLatin1Char('\n')) || remark.contains(QLatin1Char('"'))) {
        remark = QLatin1Char('"') + remark.replace(QLatin1Char('"'), QStringLiteral("\"\"")) +
                 QLatin1Char('"');
      }
      table += QStringList{p.table, p.text, p.type_number, p.el_number, p.ean, p.price,
                           p.discount, QStringLiteral("Test"), QStringLiteral("STK"), remark}
                   .join(QLatin1Char('\t'))
                   .toUtf8() +
               '\n';
    }
    QFile out(table_path);
    if (!out.open(QIODevice::WriteOnly)) return;
    out.write(table);
    out.close();

    lodex::build::BuildRequest request;
    request.schema_path = schema_path.toStdString();
    request.table_path = table_path.toStdString();
    request.out_dir = dir_.filePath(QStringLiteral("base")).toStdString();
    lodex::build::BuildSummary summary;
    std::string error;
    if (lodex::build::RunBuild(request, &summary, &error) != lodex::build::kExitOk) {
      error_ = QString::fromStdString(error);
      return;
    }
    path_ = dir_.filePath(QStringLiteral("base"));
  }

  QString Path() const { return path_; }
  QString Error() const { return error_; }

 private:
  QTemporaryDir dir_;
  QString path_;
  QString error_;
};
