-- ZEPViewer database, SQLite. Names are kept exactly as the programs use them (blanks and accents
-- included). Identifiers are counters; deleting a parent row deletes its dependent rows.
-- The texts have the lengths of the original database's text fields; CHECK constraints make SQLite
-- refuse what PostgreSQL refuses, so that both engines behave alike.

CREATE TABLE [Fonctions] (
    [Address] INTEGER NOT NULL PRIMARY KEY CHECK ([Address] BETWEEN 0 AND 255),
    [Name] TEXT CHECK (length([Name]) <= 255)
);

CREATE TABLE [Hardwares] (
    [Ecu Id] INTEGER PRIMARY KEY AUTOINCREMENT,
    [Address] INTEGER NOT NULL CHECK ([Address] BETWEEN 0 AND 255),
    [Nom] TEXT CHECK (length([Nom]) <= 255),
    [Commentaire] TEXT,
    [Code Fournisseur] TEXT CHECK (length([Code Fournisseur]) <= 3),
    [InterByteDelay] INTEGER CHECK ([InterByteDelay] BETWEEN -2147483648 AND 2147483647),
    [ReplyToRequestDelay] INTEGER CHECK ([ReplyToRequestDelay] BETWEEN -2147483648 AND 2147483647),
    [FillPattern] BLOB,
    [RepeatPattern] BLOB,
    [WriteGranularity] INTEGER CHECK ([WriteGranularity] BETWEEN -2147483648 AND 2147483647),
    [UploadRL] INTEGER CHECK ([UploadRL] BETWEEN 0 AND 255),
    [IdentificationType] INTEGER CHECK ([IdentificationType] BETWEEN -2147483648 AND 2147483647),
    [SupplierHex] TEXT CHECK (length([SupplierHex]) <= 6)
);
CREATE INDEX [Hardwares by address] ON [Hardwares] ([Address]);

CREATE TABLE [Mappings] (
    [Ecu Id] INTEGER NOT NULL REFERENCES [Hardwares] ([Ecu Id]) ON DELETE CASCADE,
    [Address] INTEGER NOT NULL CHECK ([Address] BETWEEN -2147483648 AND 2147483647),
    [Count] INTEGER NOT NULL CHECK ([Count] BETWEEN -2147483648 AND 2147483647),
    [Calibration] BOOLEAN
);
CREATE INDEX [Mappings by ECU] ON [Mappings] ([Ecu Id], [Address]);

CREATE TABLE [Exclusions] (
    [Ecu Id] INTEGER NOT NULL REFERENCES [Hardwares] ([Ecu Id]) ON DELETE CASCADE,
    [ZAddress] INTEGER NOT NULL CHECK ([ZAddress] BETWEEN -2147483648 AND 2147483647),
    [ZCount] INTEGER NOT NULL CHECK ([ZCount] BETWEEN -2147483648 AND 2147483647),
    [Address] INTEGER NOT NULL CHECK ([Address] BETWEEN -2147483648 AND 2147483647),
    [Count] INTEGER NOT NULL CHECK ([Count] BETWEEN -2147483648 AND 2147483647),
    [Contrôle] INTEGER,
    [Calibration] BOOLEAN
);
CREATE INDEX [Exclusions by mapping] ON [Exclusions] ([Ecu Id], [ZAddress], [ZCount]);

CREATE TABLE [Applications] (
    [App Id] INTEGER PRIMARY KEY AUTOINCREMENT,
    [Ecu Id] INTEGER NOT NULL REFERENCES [Hardwares] ([Ecu Id]) ON DELETE CASCADE,
    [App Name] TEXT CHECK (length([App Name]) <= 255),
    [PIE] TEXT CHECK (length([PIE]) <= 255),
    [Indice Diag] INTEGER CHECK ([Indice Diag] BETWEEN -2147483648 AND 2147483647),
    [Code Fournisseur] TEXT CHECK (length([Code Fournisseur]) <= 255),
    [Hardware] TEXT CHECK (length([Hardware]) <= 255),
    [Software] TEXT CHECK (length([Software]) <= 255),
    [Version] TEXT CHECK (length([Version]) <= 255),
    [Calibration] TEXT CHECK (length([Calibration]) <= 255),
    [Réserve] TEXT CHECK (length([Réserve]) <= 255),
    [Homologation] TEXT CHECK (length([Homologation]) <= 255),
    [IdentValide] BOOLEAN NOT NULL DEFAULT 0,
    [Commentaire] TEXT,
    [SupplierHex] TEXT CHECK (length([SupplierHex]) <= 6)
);
CREATE INDEX [Applications by ECU] ON [Applications] ([Ecu Id]);

CREATE TABLE [Calibrations] (
    [Calib Id] INTEGER PRIMARY KEY AUTOINCREMENT,
    [App Id] INTEGER NOT NULL REFERENCES [Applications] ([App Id]) ON DELETE CASCADE,
    [Calib Name] TEXT CHECK (length([Calib Name]) <= 255),
    [PIE] TEXT CHECK (length([PIE]) <= 255),
    [Indice Diag] INTEGER CHECK ([Indice Diag] BETWEEN -2147483648 AND 2147483647),
    [Code Fournisseur] TEXT CHECK (length([Code Fournisseur]) <= 255),
    [Hardware] TEXT CHECK (length([Hardware]) <= 255),
    [Software] TEXT CHECK (length([Software]) <= 255),
    [Version] TEXT CHECK (length([Version]) <= 255),
    [Calibration] TEXT CHECK (length([Calibration]) <= 255),
    [Réserve] TEXT CHECK (length([Réserve]) <= 255),
    [Homologation] TEXT CHECK (length([Homologation]) <= 255),
    [IdentValide] BOOLEAN NOT NULL DEFAULT 0,
    [Commentaire] TEXT,
    [SupplierHex] TEXT CHECK (length([SupplierHex]) <= 6)
);
CREATE INDEX [Calibrations by application] ON [Calibrations] ([App Id]);

CREATE TABLE [Application Code] (
    [App Id] INTEGER NOT NULL REFERENCES [Applications] ([App Id]) ON DELETE CASCADE,
    [Address] INTEGER NOT NULL CHECK ([Address] BETWEEN -2147483648 AND 2147483647),
    [Bytes] BLOB
);
CREATE INDEX [Application Code by application] ON [Application Code] ([App Id], [Address]);

CREATE TABLE [Calibration Data] (
    [Calib Id] INTEGER NOT NULL REFERENCES [Calibrations] ([Calib Id]) ON DELETE CASCADE,
    [Address] INTEGER NOT NULL CHECK ([Address] BETWEEN -2147483648 AND 2147483647),
    [Bytes] BLOB
);
CREATE INDEX [Calibration Data by tuning] ON [Calibration Data] ([Calib Id], [Address]);

-- An ECU may exist for an address without a function row (after an XML import), so there is no
-- foreign key from Hardwares to Fonctions: deleting a function deletes the ECUs of its address here.
CREATE TRIGGER [Fonctions delete Hardwares] AFTER DELETE ON [Fonctions]
BEGIN
    DELETE FROM [Hardwares] WHERE [Address] = OLD.[Address];
END;

-- Exclusions belong to the mapping with the same ECU, address and count. Two equal mappings share
-- their exclusions, which go only with the last of them.
CREATE TRIGGER [Mappings delete Exclusions] AFTER DELETE ON [Mappings]
BEGIN
    DELETE FROM [Exclusions]
    WHERE [Ecu Id] = OLD.[Ecu Id] AND [ZAddress] = OLD.[Address] AND [ZCount] = OLD.[Count]
      AND NOT EXISTS (SELECT 1 FROM [Mappings] AS m
                      WHERE m.[Ecu Id] = OLD.[Ecu Id] AND m.[Address] = OLD.[Address]
                        AND m.[Count] = OLD.[Count]);
END;

-- The navigation tree: every function with its ECUs and their applications, then the ECUs whose
-- address has no function (name Null), in the order the tree groups them. Texts sort by code point,
-- as PostgreSQL's view does.
CREATE VIEW [Arborescence] AS
SELECT * FROM (
    SELECT f.[Address] AS [address], f.[Name] AS [name], h.[Nom] AS [Nom], h.[Ecu Id] AS [Ecu Id],
           a.[App Name] AS [App Name], a.[App Id] AS [App Id]
    FROM [Fonctions] AS f
    LEFT JOIN [Hardwares] AS h ON h.[Address] = f.[Address]
    LEFT JOIN [Applications] AS a ON a.[Ecu Id] = h.[Ecu Id]
    UNION ALL
    SELECT h.[Address], NULL, h.[Nom], h.[Ecu Id], a.[App Name], a.[App Id]
    FROM [Hardwares] AS h
    LEFT JOIN [Applications] AS a ON a.[Ecu Id] = h.[Ecu Id]
    WHERE NOT EXISTS (SELECT 1 FROM [Fonctions] AS f WHERE f.[Address] = h.[Address])
) AS tree
ORDER BY [address], [Ecu Id] NULLS FIRST, [App Name] NULLS FIRST, [App Id];
