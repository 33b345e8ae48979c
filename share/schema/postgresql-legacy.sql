-- A ZEPViewer database as made before the columns UploadRL, IdentificationType and SupplierHex
-- existed; opening it adds them. Kept to test that upgrade. Otherwise the same as postgresql.sql.

CREATE TABLE "Fonctions" (
    "Address" smallint NOT NULL PRIMARY KEY CHECK ("Address" BETWEEN 0 AND 255),
    "Name" varchar(255)
);

CREATE TABLE "Hardwares" (
    "Ecu Id" integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "Address" smallint NOT NULL CHECK ("Address" BETWEEN 0 AND 255),
    "Nom" varchar(255),
    "Commentaire" text,
    "Code Fournisseur" varchar(3),
    "InterByteDelay" integer,
    "ReplyToRequestDelay" integer,
    "FillPattern" bytea,
    "RepeatPattern" bytea,
    "WriteGranularity" integer
);
CREATE INDEX "Hardwares by address" ON "Hardwares" ("Address");

CREATE TABLE "Mappings" (
    "Ecu Id" integer NOT NULL REFERENCES "Hardwares" ("Ecu Id") ON DELETE CASCADE,
    "Address" integer NOT NULL,
    "Count" integer NOT NULL,
    "Calibration" boolean
);
CREATE INDEX "Mappings by ECU" ON "Mappings" ("Ecu Id", "Address");

CREATE TABLE "Exclusions" (
    "Ecu Id" integer NOT NULL REFERENCES "Hardwares" ("Ecu Id") ON DELETE CASCADE,
    "ZAddress" integer NOT NULL,
    "ZCount" integer NOT NULL,
    "Address" integer NOT NULL,
    "Count" integer NOT NULL,
    "Contrôle" integer,
    "Calibration" boolean
);
CREATE INDEX "Exclusions by mapping" ON "Exclusions" ("Ecu Id", "ZAddress", "ZCount");

CREATE TABLE "Applications" (
    "App Id" integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "Ecu Id" integer NOT NULL REFERENCES "Hardwares" ("Ecu Id") ON DELETE CASCADE,
    "App Name" varchar(255),
    "PIE" varchar(255),
    "Indice Diag" integer,
    "Code Fournisseur" varchar(255),
    "Hardware" varchar(255),
    "Software" varchar(255),
    "Version" varchar(255),
    "Calibration" varchar(255),
    "Réserve" varchar(255),
    "Homologation" varchar(255),
    "IdentValide" boolean NOT NULL DEFAULT false,
    "Commentaire" text
);
CREATE INDEX "Applications by ECU" ON "Applications" ("Ecu Id");

CREATE TABLE "Calibrations" (
    "Calib Id" integer GENERATED ALWAYS AS IDENTITY PRIMARY KEY,
    "App Id" integer NOT NULL REFERENCES "Applications" ("App Id") ON DELETE CASCADE,
    "Calib Name" varchar(255),
    "PIE" varchar(255),
    "Indice Diag" integer,
    "Code Fournisseur" varchar(255),
    "Hardware" varchar(255),
    "Software" varchar(255),
    "Version" varchar(255),
    "Calibration" varchar(255),
    "Réserve" varchar(255),
    "Homologation" varchar(255),
    "IdentValide" boolean NOT NULL DEFAULT false,
    "Commentaire" text
);
CREATE INDEX "Calibrations by application" ON "Calibrations" ("App Id");

CREATE TABLE "Application Code" (
    "App Id" integer NOT NULL, -- its owner: see the triggers below
    "Address" integer NOT NULL,
    "Bytes" bytea
);
CREATE INDEX "Application Code by application" ON "Application Code" ("App Id", "Address");

CREATE TABLE "Calibration Data" (
    "Calib Id" integer NOT NULL, -- its owner: see the triggers below
    "Address" integer NOT NULL,
    "Bytes" bytea
);
CREATE INDEX "Calibration Data by tuning" ON "Calibration Data" ("Calib Id", "Address");

-- Image rows come by the hundred thousand, and a foreign key checks each row on its own, which made
-- most of the time of storing a large image. Their owners are checked once a statement instead, by
-- the triggers below, which keep what a foreign key gives: a row whose owner does not exist is
-- refused, its owner stays locked against a concurrent delete until the transaction ends, deleting
-- an owner deletes its rows, and an owner that has rows keeps its key.
-- (The bodies hold no square brackets and no apostrophes: these statements go through the same
-- quoting of names as the programs use.)
CREATE FUNCTION "Application Code check owners"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
    owners integer ARRAY;
    locked bigint;
BEGIN
    SELECT array_agg(o."App Id") INTO owners FROM (SELECT "App Id" FROM new_rows GROUP BY 1) AS o;
    PERFORM FROM "Applications" WHERE "App Id" = ANY (owners) FOR KEY SHARE;
    GET DIAGNOSTICS locked = ROW_COUNT;
    IF locked < coalesce(cardinality(owners), 0) THEN
        RAISE foreign_key_violation USING
            MESSAGE = 'insert or update on table "Application Code" violates foreign key constraint '
                      '"Application Code owner"',
            DETAIL = format('Key (App Id)=(%s) is not present in table "Applications".',
                            (SELECT min(k) FROM unnest(owners) AS k
                             WHERE NOT EXISTS (SELECT FROM "Applications" WHERE "App Id" = k)));
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER "Application Code inserted" AFTER INSERT ON "Application Code"
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION "Application Code check owners"();
CREATE TRIGGER "Application Code updated" AFTER UPDATE ON "Application Code"
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION "Application Code check owners"();

CREATE FUNCTION "Applications delete Application Code"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    DELETE FROM "Application Code" WHERE "App Id" IN (SELECT "App Id" FROM old_rows);
    RETURN NULL;
END
$$;
CREATE TRIGGER "Applications delete Application Code" AFTER DELETE ON "Applications"
    REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION "Applications delete Application Code"();

CREATE FUNCTION "Applications keep a used key"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    IF EXISTS (SELECT FROM "Application Code" WHERE "App Id" = OLD."App Id") THEN
        RAISE foreign_key_violation USING
            MESSAGE = 'update on table "Applications" violates foreign key constraint '
                      '"Application Code owner" on table "Application Code"',
            DETAIL = format('Key (App Id)=(%s) is still referenced from table "Application Code".',
                            OLD."App Id");
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER "Applications keep a used key" BEFORE UPDATE OF "App Id" ON "Applications"
    FOR EACH ROW WHEN (OLD."App Id" IS DISTINCT FROM NEW."App Id")
    EXECUTE FUNCTION "Applications keep a used key"();

CREATE FUNCTION "Calibration Data check owners"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
DECLARE
    owners integer ARRAY;
    locked bigint;
BEGIN
    SELECT array_agg(o."Calib Id") INTO owners FROM (SELECT "Calib Id" FROM new_rows GROUP BY 1) AS o;
    PERFORM FROM "Calibrations" WHERE "Calib Id" = ANY (owners) FOR KEY SHARE;
    GET DIAGNOSTICS locked = ROW_COUNT;
    IF locked < coalesce(cardinality(owners), 0) THEN
        RAISE foreign_key_violation USING
            MESSAGE = 'insert or update on table "Calibration Data" violates foreign key constraint '
                      '"Calibration Data owner"',
            DETAIL = format('Key (Calib Id)=(%s) is not present in table "Calibrations".',
                            (SELECT min(k) FROM unnest(owners) AS k
                             WHERE NOT EXISTS (SELECT FROM "Calibrations" WHERE "Calib Id" = k)));
    END IF;
    RETURN NULL;
END
$$;
CREATE TRIGGER "Calibration Data inserted" AFTER INSERT ON "Calibration Data"
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION "Calibration Data check owners"();
CREATE TRIGGER "Calibration Data updated" AFTER UPDATE ON "Calibration Data"
    REFERENCING NEW TABLE AS new_rows
    FOR EACH STATEMENT EXECUTE FUNCTION "Calibration Data check owners"();

CREATE FUNCTION "Calibrations delete Calibration Data"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    DELETE FROM "Calibration Data" WHERE "Calib Id" IN (SELECT "Calib Id" FROM old_rows);
    RETURN NULL;
END
$$;
CREATE TRIGGER "Calibrations delete Calibration Data" AFTER DELETE ON "Calibrations"
    REFERENCING OLD TABLE AS old_rows
    FOR EACH STATEMENT EXECUTE FUNCTION "Calibrations delete Calibration Data"();

CREATE FUNCTION "Calibrations keep a used key"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    IF EXISTS (SELECT FROM "Calibration Data" WHERE "Calib Id" = OLD."Calib Id") THEN
        RAISE foreign_key_violation USING
            MESSAGE = 'update on table "Calibrations" violates foreign key constraint '
                      '"Calibration Data owner" on table "Calibration Data"',
            DETAIL = format('Key (Calib Id)=(%s) is still referenced from table "Calibration Data".',
                            OLD."Calib Id");
    END IF;
    RETURN NEW;
END
$$;
CREATE TRIGGER "Calibrations keep a used key" BEFORE UPDATE OF "Calib Id" ON "Calibrations"
    FOR EACH ROW WHEN (OLD."Calib Id" IS DISTINCT FROM NEW."Calib Id")
    EXECUTE FUNCTION "Calibrations keep a used key"();

-- An ECU may exist for an address without a function row (after an XML import), so there is no
-- foreign key from Hardwares to Fonctions: deleting a function deletes the ECUs of its address here.
-- The functions keep the search path they were made with, so they find their tables from any session.
CREATE FUNCTION "Fonctions delete Hardwares"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    DELETE FROM "Hardwares" WHERE "Address" = OLD."Address";
    RETURN NULL;
END
$$;
CREATE TRIGGER "Fonctions delete Hardwares" AFTER DELETE ON "Fonctions"
    FOR EACH ROW EXECUTE FUNCTION "Fonctions delete Hardwares"();

-- Exclusions belong to the mapping with the same ECU, address and count. Two equal mappings share
-- their exclusions, which go only with the last of them.
CREATE FUNCTION "Mappings delete Exclusions"() RETURNS trigger
LANGUAGE plpgsql SET search_path FROM CURRENT AS $$
BEGIN
    DELETE FROM "Exclusions"
    WHERE "Ecu Id" = OLD."Ecu Id" AND "ZAddress" = OLD."Address" AND "ZCount" = OLD."Count"
      AND NOT EXISTS (SELECT 1 FROM "Mappings" AS m
                      WHERE m."Ecu Id" = OLD."Ecu Id" AND m."Address" = OLD."Address"
                        AND m."Count" = OLD."Count");
    RETURN NULL;
END
$$;
CREATE TRIGGER "Mappings delete Exclusions" AFTER DELETE ON "Mappings"
    FOR EACH ROW EXECUTE FUNCTION "Mappings delete Exclusions"();

-- The navigation tree: every function with its ECUs and their applications, then the ECUs whose
-- address has no function (name Null), in the order the tree groups them. Texts sort by code point
-- whatever the server's locale, as SQLite's view does.
CREATE VIEW "Arborescence" AS
SELECT * FROM (
    SELECT f."Address" AS "address", f."Name" AS "name", h."Nom" AS "Nom", h."Ecu Id" AS "Ecu Id",
           a."App Name" AS "App Name", a."App Id" AS "App Id"
    FROM "Fonctions" AS f
    LEFT JOIN "Hardwares" AS h ON h."Address" = f."Address"
    LEFT JOIN "Applications" AS a ON a."Ecu Id" = h."Ecu Id"
    UNION ALL
    SELECT h."Address", NULL, h."Nom", h."Ecu Id", a."App Name", a."App Id"
    FROM "Hardwares" AS h
    LEFT JOIN "Applications" AS a ON a."Ecu Id" = h."Ecu Id"
    WHERE NOT EXISTS (SELECT 1 FROM "Fonctions" AS f WHERE f."Address" = h."Address")
) AS tree
ORDER BY "address", "Ecu Id" NULLS FIRST, "App Name" COLLATE "C" NULLS FIRST, "App Id";
